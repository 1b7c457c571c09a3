#include "mainframe/MainMenu.h"

#include "app/AppContext.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "platform/Window.h"
#include "service/AboutDlg.h"
#include "service/AccountLinks.h"
#include "service/AdviceDlg.h"
#include "ui/HskFrame.h"

namespace tavopix {
namespace {

constexpr std::u16string_view kAutoCloseKey = u"auto_close_after_upload";

}  // namespace

MainMenu::MainMenu(CHskFrame& frame) : frame_(frame) {
    AddCommand(u"menu_login", [this] { Login(); });
    AddCommand(u"menu_change", [this] { ChangeUser(); });
    AddCommand(u"menu_logout", [this] { Logout(); });
    AddCommand(u"menu_home_url", [] { OpenInUserBrowser(HomePageAddress()); });
    AddCommand(u"menu_about", [this] {
        CAboutDlg about(frame_.GetHwnd());
        about.Run(SW_SHOWNORMAL);
    });
    AddCommand(u"menu_advice", [this] {
        CAdviceDlg advice(frame_.GetHwnd());
        advice.Run(SW_SHOWNORMAL);
    });
    AddCommand(u"cancel_auto_close", [this] { CancelAutoClose(); });
}

void MainMenu::Bind(Element& root) {
    menu_ = ElementRef(root.FindById(u"main_menu"));
    hint_ = ElementRef(root.FindById(u"username_hint"));
}

void MainMenu::AddCommand(std::u16string_view id, std::function<void()> command) {
    for (auto& [known, run] : commands_) {
        if (known == id) {
            run = std::move(command);
            return;
        }
    }
    commands_.emplace_back(std::u16string(id), std::move(command));
}

bool MainMenu::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                               std::uintptr_t) {
    if (!menu_) {
        return false;
    }
    if (code == POPUP_REQUEST && target == menu_.get()) {
        SetUp();
        return true;
    }
    if (code != MENU_ITEM_CLICK || element == nullptr || !HasId(element->Parent(), u"main_menu")) {
        return false;
    }
    const std::u16string* id = element->GetAttribute("id");
    if (id == nullptr) {
        return false;
    }
    for (const auto& [known, run] : commands_) {
        if (known == *id) {
            // A copy: the command may run a dialog during which another command is added.
            const std::function<void()> command = run;
            command();
            break;
        }
    }
    return false;
}

void MainMenu::SetUp() {
    const bool loggedIn = session_.IsLoggedIn();
    SetDisplay(u"menu_login", !loggedIn);
    SetDisplay(u"menu_logout", loggedIn);
    SetDisplay(u"menu_change", loggedIn);
    std::u16string autoClose;
    SetDisplay(
        u"cancel_auto_close",
        SettingsStore::Get(SettingsFilePath(), kAutoCloseKey, autoClose) && autoClose == u"true");
}

void MainMenu::SetDisplay(std::u16string_view id, bool shown) {
    if (Element* item = menu_->FindById(id)) {
        item->SetStyleAttribute("display", shown ? u"block" : u"none");
    }
}

void MainMenu::RefreshLoginHint() {
    if (!hint_) {
        return;
    }
    const std::u16string& name = session_.UserName();
    hint_->SetInnerText(name.empty() ? std::u16string() : name + u" (已登录)");
}

void MainMenu::Login() {
    session_.EnsureLoggedIn(nullptr);
    RefreshLoginHint();
}

void MainMenu::ChangeUser() {
    session_.ChangeUser(nullptr);
    RefreshLoginHint();
}

void MainMenu::Logout() {
    session_.Logout();
    if (hint_) {
        hint_->SetInnerText(u"");
    }
}

void MainMenu::CancelAutoClose() {
    SettingsStore::Set(SettingsFilePath(), kAutoCloseKey, u"false");
    SetDisplay(u"cancel_auto_close", false);
}

}  // namespace tavopix
