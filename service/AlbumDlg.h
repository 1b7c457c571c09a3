// CAlbumDlg: choosing the album an upload goes to ("AlbumDlg.htm"). It fetches the user's album
// list into the drop-down "album_list", or switches to a taller view where a new album is
// created (name, description, privacy 1-4, and for privacy 3 a question and answer). The run
// ends with 1 when an album was chosen or created: the caller then reads its id and whether
// "size_raw" (upload the full size) was checked.
#pragma once

#include <string>

#include "engine/ElementRef.h"
#include "service/OpenApiRequest.h"
#include "ui/HskFrame.h"

namespace tavopix {

// Posted by the completions of the list and creation requests: wParam the SDK's result,
// lParam its last error (neither is read: the reply's status decides).
inline constexpr UINT WM_ALBUM_LIST_REPLY = WM_USER + 11;
inline constexpr UINT WM_ALBUM_CREATE_REPLY = WM_USER + 12;

class CAlbumDlg : public CHskFrame {
public:
    // The window heights of the list view and of the create view without and with the
    // question and answer.
    static constexpr int kListHeight = 215;
    static constexpr int kCreateHeight = 350;
    static constexpr int kCreateWithQuestionHeight = 425;

    explicit CAlbumDlg(HWND owner);

    int Create() override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    bool OnKey(Element& he, KeyParams& params) override;
    LRESULT OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override;

    const std::u16string& AlbumId() const { return albumId; }
    // 1 when the full size is to be uploaded.
    int FullSize() const { return fullSize; }

private:
    enum class Status { Fetching, ListReady, ListFailed, Creating, CreateFailed };

    bool StartListRequest();
    void ShowStatus(Status status, std::u16string_view detail = {});
    void OnListReply();
    void OnCreateReply();
    void FillList(std::u16string_view reply, std::u16string_view decoded);
    void CreateAlbum();
    void ChooseAndClose(std::u16string id);
    void ShowCreateView();
    void ShowListView();
    void Resize(int newHeight);
    void SetDisplay(std::u16string_view id, bool shown);
    bool IsChecked(std::u16string_view id) const;
    std::u16string ValueOf(std::u16string_view id) const;
    Element* ById(std::u16string_view id) const;

    std::u16string albumId;
    int fullSize = 0;
    ElementRef btnUpload;
    ElementRef btnCancel;
    ElementRef createAlbum;
    ElementRef btnCancelCreate;
    ElementRef albumList;
    ElementRef tpQa;
    ElementRef info;
    ElementRef btnGetAlist;
    OpenApiRequest listRequest;
    OpenApiRequest createRequest;
    bool createView = false;
    bool questionShown = false;
    bool listReady = false;
};

}  // namespace tavopix
