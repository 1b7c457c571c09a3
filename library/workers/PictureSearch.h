// The picture search: a thread that walks every chosen folder (SetPathCfg.dat, in file order)
// with the filter of ImgFilterCfg.dat and posts one WM_FOLDER_RESULT per walked folder to the
// main window, then WM_SEARCH_DONE when it was not stopped.
//
// With no chosen folder it posts WM_SEARCH_NEEDS_FOLDERS and waits until the main window has
// run the folder dialog (EndWaitingForFolders) or the search is stopped, then reads the folder
// file again. It gives way to the interactive work: while a folder listing runs or the
// thumbnail worker works it sleeps between entries.
//
// Start, Stop and the flags' readers run on the UI thread; the flags are atomics because the
// thread reads and clears them.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/StoppableWorker.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class SharedPictureFilter;

class PictureSearch {
public:
    struct Setup {
        HWND window = nullptr;        // receives the messages
        std::u16string folderFile;    // SetPathCfg.dat
        std::u16string filterFile;    // ImgFilterCfg.dat
        SharedPictureFilter* filter;  // takes the filter read at each start
        std::function<bool()> listingRunning;
        std::function<bool()> thumbnailsWorking;
    };

    explicit PictureSearch(Setup setup);
    ~PictureSearch();
    PictureSearch(const PictureSearch&) = delete;
    PictureSearch& operator=(const PictureSearch&) = delete;

    // Stops a running search and starts a new one; false when the thread cannot be created.
    bool Start();
    // Asks the thread to end, waits for it, then drops its queued results (and any listing
    // result queued with them), its folder request and its end message.
    void Stop();

    bool Running() const { return worker_.Running(); }
    // Set by each successful Start; the folder-open handler clears it.
    bool Started() const { return started_; }
    void ClearStarted() { started_ = false; }
    bool WaitingForFolders() const { return waiting_; }
    // The folder dialog the search asked for has ended.
    void EndWaitingForFolders();

private:
    void Run();
    bool ReadFolders(std::u16string& text) const;

    Setup setup_;
    std::atomic<bool> waiting_{false};
    std::atomic<bool> started_{false};
    StoppableWorker worker_;
};

}  // namespace tavopix
