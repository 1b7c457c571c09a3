// The folder dialog's enumeration worker: a thread per run that finds the folders of one tree
// node, or of the top level (the three special folders and the drives), and posts each as a
// FolderEntry (WM_FOLDER_FOUND) to the dialog, then WM_ENUMERATION_STATE when it ends. One run
// at a time: starting a run stops the previous one first. Start and Stop run on the UI thread.
#pragma once

#include <string>

#include "platform/StoppableWorker.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class FolderEnumerator {
public:
    explicit FolderEnumerator(HWND dialog);
    ~FolderEnumerator();
    FolderEnumerator(const FolderEnumerator&) = delete;
    FolderEnumerator& operator=(const FolderEnumerator&) = delete;

    // Stops a running run, then starts one listing the stored folder `path` (empty: the top
    // level), its entries marked with `generation` (not 0). The dialog hears
    // WM_ENUMERATION_STATE at once (sent, wParam 0) and when the run ends (posted with the
    // generation in wParam; also when the thread cannot be created).
    void Start(std::u16string path, unsigned generation);
    // Asks the run to end and waits for it.
    void Stop();
    bool Running() const { return worker_.Running(); }

private:
    void Run(std::u16string path, unsigned generation);
    void Post(std::u16string path, bool topLevel, unsigned generation) const;

    HWND dialog_;
    StoppableWorker worker_;
};

}  // namespace tavopix
