// The main window's menu "main_menu" (opened from the caption's menu button) and the login hint
// "username_hint" beside it. The menu is set up each time it opens: the login entries follow
// whether a user is logged in, "cancel_auto_close" whether uploads close their dialog by
// themselves. Its entries run the account commands (log in, change user, log out), the about and
// feedback dialogs, and whatever other parts of the window add with AddCommand.
//
// The menu owns the SessionHelper, the window's way to the login: the upload commands make sure
// of a login through Session() and refresh the hint afterwards. UI thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/ElementRef.h"
#include "service/SessionHelper.h"

namespace tavopix {

class CHskFrame;
class Element;

class MainMenu {
public:
    explicit MainMenu(CHskFrame& frame);
    MainMenu(const MainMenu&) = delete;
    MainMenu& operator=(const MainMenu&) = delete;

    // Finds the menu and the hint in the main window's page, once it is loaded.
    void Bind(Element& root);
    // The menu's events: its set-up when it is about to open, its entries when clicked. True
    // when the event was the set-up (a click leaves the event unhandled, as other menus see it).
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason);

    // Runs `command` when the entry with this id is clicked; a later command for the same id
    // replaces the earlier one.
    void AddCommand(std::u16string_view id, std::function<void()> command);

    SessionHelper& Session() { return session_; }
    // Shows the logged-in user's name followed by " (已登录)", or nothing.
    void RefreshLoginHint();

private:
    void SetUp();
    void SetDisplay(std::u16string_view id, bool shown);
    void Login();
    void ChangeUser();
    void Logout();
    void CancelAutoClose();

    CHskFrame& frame_;
    SessionHelper session_;
    ElementRef menu_;  // "main_menu"
    ElementRef hint_;  // "username_hint"
    std::vector<std::pair<std::u16string, std::function<void()>>> commands_;
};

}  // namespace tavopix
