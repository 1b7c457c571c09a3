#include "Operator.h"

#include <ctime>
#include <iostream>

#include "Html.h"
#include "HttpMessage.h"

namespace albumd {

namespace {

constexpr const char* kUsage =
    "usage: albumd [--data DIR] COMMAND\n"
    "  user add NAME          create an account; the password is read from standard input\n"
    "  user passwd NAME       set a new password (from standard input); ends its logins\n"
    "  user list              list the accounts with their use of space\n"
    "  user delete NAME       delete an account with its albums and pictures\n"
    "  limits [--space SIZE] [--pictures N] [--albums N] [--feedback-per-day N] [--user NAME]\n"
    "                         show or set the space per user, the pictures per album, the\n"
    "                         albums per user and the feedback texts a user may send a day;\n"
    "                         with --user, space and pictures for that user (\"default\"\n"
    "                         returns to the default)\n"
    "  backup FILE            copy the database, consistently, while albumd serves it\n"
    "  update set VERSION FILE --base-url URL [--signing-key KEYFILE]\n"
    "                         publish FILE, signed, as the update package of VERSION\n"
    "  update show | update clear\n"
    "  update key             show the public key that packages are signed with\n"
    "  feedback list          show the feedback users sent\n";

}  // namespace

const char* OperatorUsage() {
    return kUsage;
}

namespace {

int Usage(std::ostream& err) {
    err << kUsage;
    return 2;
}

std::string ReadPassword(std::istream& in) {
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

int UserCommand(const std::vector<std::string>& words, DataStore& data, std::istream& in,
                std::ostream& out, std::ostream& err) {
    const std::string& action = words[1];
    if (action == "list" && words.size() == 2) {
        std::vector<UserRecord> users;
        if (data.accounts.ListUsers(users) != StoreResult::Ok) {
            err << "albumd: cannot read the accounts\n";
            return 1;
        }
        out << "id\tname\tcreated\talbums\tused\tspace limit\tpictures per album\n";
        for (const UserRecord& user : users) {
            std::vector<AlbumRecord> albums;
            std::int64_t used = 0;
            Limits limits;
            if (data.albums.ListAlbums(user.id, albums) != StoreResult::Ok ||
                data.albums.UsedSpace(user.id, used) != StoreResult::Ok ||
                data.albums.EffectiveLimits(user.id, limits) != StoreResult::Ok) {
                err << "albumd: cannot read the albums of " << user.name << "\n";
                return 1;
            }
            out << user.id << '\t' << user.name << '\t' << FormatDate(user.created) << '\t'
                << albums.size() << '\t' << FormatBytes(used) << '\t'
                << FormatBytes(limits.spacePerUser) << '\t' << limits.picturesPerAlbum << '\n';
        }
        return 0;
    }
    if (words.size() != 3)
        return Usage(err);
    const std::string& name = words[2];
    if (action == "add" || action == "passwd") {
        std::string password = ReadPassword(in);
        StoreResult result =
            action == "add" ? data.accounts.CreateUser(
                                  name, password, static_cast<std::int64_t>(std::time(nullptr)))
                            : data.accounts.SetPassword(name, password);
        switch (result) {
            case StoreResult::Ok:
                out << (action == "add" ? "created " : "password set for ") << name << "\n";
                return 0;
            case StoreResult::Invalid:
                err << "albumd: the name must be 3-32 characters of A-Z a-z 0-9 . _ - and the "
                       "password 8-128 characters\n";
                return 1;
            case StoreResult::Exists:
                err << "albumd: " << name << " exists already\n";
                return 1;
            case StoreResult::NotFound:
                err << "albumd: no user " << name << "\n";
                return 1;
            default:
                err << "albumd: the database failed\n";
                return 1;
        }
    }
    if (action == "delete") {
        UserRecord deleted;
        switch (data.accounts.DeleteUser(name, &deleted)) {
            case StoreResult::Ok:
                data.files.RemoveUserFolder(deleted.id);
                out << "deleted " << name << "\n";
                return 0;
            case StoreResult::NotFound:
                err << "albumd: no user " << name << "\n";
                return 1;
            default:
                err << "albumd: the database failed\n";
                return 1;
        }
    }
    return Usage(err);
}

int LimitsCommand(const std::vector<std::string>& words, DataStore& data, std::ostream& out,
                  std::ostream& err) {
    LimitChange space, pictures, albums, feedback;
    std::string userName;
    for (std::size_t i = 1; i < words.size(); i += 2) {
        if (i + 1 >= words.size())
            return Usage(err);
        const std::string& option = words[i];
        const std::string& value = words[i + 1];
        if (option == "--user") {
            userName = value;
            continue;
        }
        LimitChange parsed;
        if (value == "default") {
            parsed = kUseDefault;
        } else if (option == "--space") {
            parsed = ParseSize(value);
        } else if (value.find_first_not_of("0123456789") == std::string::npos && !value.empty() &&
                   value.size() < 12) {
            parsed = std::stoll(value);
        }
        if (!parsed) {
            err << "albumd: bad value " << value << " for " << option << "\n";
            return 2;
        }
        if (option == "--space") {
            space = parsed;
        } else if (option == "--pictures") {
            pictures = parsed;
        } else if (option == "--albums") {
            albums = parsed;
        } else if (option == "--feedback-per-day") {
            feedback = parsed;
        } else {
            return Usage(err);
        }
    }
    UserRecord user;
    if (!userName.empty() && data.accounts.FindUser(userName, user) != StoreResult::Ok) {
        err << "albumd: no user " << userName << "\n";
        return 1;
    }
    if (!userName.empty() && (albums || feedback)) {
        err << "albumd: --albums and --feedback-per-day apply to every user alike\n";
        return 2;
    }
    StoreResult changed = StoreResult::Ok;
    if (space || pictures || albums || feedback) {
        changed = userName.empty() ? data.albums.SetDefaultLimits(space, pictures, albums, feedback)
                                   : data.albums.SetUserLimits(user.id, space, pictures);
    }
    Limits limits;
    StoreResult read = userName.empty() ? data.albums.DefaultLimits(limits)
                                        : data.albums.EffectiveLimits(user.id, limits);
    if (changed == StoreResult::Invalid) {
        err << "albumd: \"default\" applies only with --user\n";
        return 2;
    }
    if (changed != StoreResult::Ok || read != StoreResult::Ok) {
        err << "albumd: the database failed\n";
        return 1;
    }
    out << (userName.empty() ? "default" : userName) << ": space per user " << limits.spacePerUser
        << " bytes (" << FormatBytes(limits.spacePerUser) << "), pictures per album "
        << limits.picturesPerAlbum << ", albums per user " << limits.albumsPerUser
        << ", feedback per day " << limits.feedbackPerDay << "\n";
    return 0;
}

int BackupCommand(const std::vector<std::string>& words, DataStore& data, std::ostream& out,
                  std::ostream& err) {
    if (words.size() != 2)
        return Usage(err);
    std::string error;
    if (!data.db->BackupTo(words[1], error)) {
        err << "albumd: " << error << "\n";
        return 1;
    }
    out << "database copied to " << words[1] << "\n";
    return 0;
}

int UpdateCommand(const std::vector<std::string>& words, DataStore& data, std::ostream& out,
                  std::ostream& err) {
    std::string error;
    if (words[1] == "show" && words.size() == 2) {
        std::string line = data.updates.CurrentLine();
        out << (line.empty() ? "no update published" : line) << "\n";
        return 0;
    }
    if (words[1] == "clear" && words.size() == 2) {
        if (!data.updates.Withdraw(error)) {
            err << "albumd: " << error << "\n";
            return 1;
        }
        out << "update withdrawn\n";
        return 0;
    }
    if (words[1] == "key" && words.size() == 2) {
        const std::optional<std::string> key = data.updates.SigningPublicKey(error);
        if (!key) {
            err << "albumd: " << error << "\n";
            return 1;
        }
        out << *key << "\n";
        return 0;
    }
    const bool ownKey = words.size() == 8 && words[6] == "--signing-key";
    if (words[1] == "set" && (words.size() == 6 || ownKey) && words[4] == "--base-url") {
        if (!data.updates.Publish(words[2], words[3], words[5], error,
                                  ownKey ? words[7] : std::string())) {
            err << "albumd: " << error << "\n";
            return 1;
        }
        out << data.updates.CurrentLine() << "\n";
        return 0;
    }
    return Usage(err);
}

// Users' text as the operator's terminal may show it. Control characters (C0, DEL, C1), which a
// terminal would act on, and bytes that are not UTF-8 are written as visible \xNN escapes, and a
// backslash as \\, so no escape can be forged. Line breaks are kept only where `indent` is
// given, and every line after one is indented by it, so no line of a user's text can pass for a
// record's own first line.
std::string TerminalText(std::string_view text, std::string_view indent = {}) {
    std::string shown;
    auto escape = [&](unsigned char byte) {
        static constexpr char kHex[] = "0123456789abcdef";
        shown += "\\x";
        shown += kHex[byte >> 4];
        shown += kHex[byte & 15];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n' && !indent.empty()) {
            shown += '\n';
            shown += indent;
            ++i;
        } else if (byte == '\\') {
            shown += "\\\\";
            ++i;
        } else if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
            ++i;
        } else if (byte < 0x80) {
            shown += static_cast<char>(byte);
            ++i;
        } else {
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            const std::string_view sequence = text.substr(i, length);
            const bool c1 = byte == 0xC2 && sequence.size() == 2 &&
                            static_cast<unsigned char>(sequence[1]) < 0xA0;
            if (sequence.size() == length && IsValidUtf8(sequence) && !c1) {
                shown += sequence;
                i += length;
            } else {
                escape(byte);
                ++i;
            }
        }
    }
    return shown;
}

int FeedbackCommand(DataStore& data, std::ostream& out, std::ostream& err) {
    std::vector<FeedbackRecord> records;
    if (data.feedback.List(records) != StoreResult::Ok) {
        err << "albumd: the database failed\n";
        return 1;
    }
    for (const FeedbackRecord& record : records) {
        out << "#" << record.id << " " << FormatDate(record.created) << " "
            << (record.userName.empty() ? "(deleted user)" : TerminalText(record.userName))
            << " from " << TerminalText(record.address);
        if (!record.contact.empty())
            out << " contact: " << TerminalText(record.contact);
        out << "\n  " << TerminalText(record.content, "  ") << "\n\n";
    }
    return 0;
}

}  // namespace

std::optional<std::int64_t> ParseSize(const std::string& text) {
    if (text.empty() || text.size() > 15)
        return std::nullopt;
    std::size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0)
        return std::nullopt;
    std::int64_t value = std::stoll(text.substr(0, digits));
    if (digits == std::string::npos)
        return value;
    std::string unit = text.substr(digits);
    int shift = unit == "K" || unit == "k"   ? 10
                : unit == "M" || unit == "m" ? 20
                : unit == "G" || unit == "g" ? 30
                                             : -1;
    if (shift < 0 || value > (INT64_MAX >> shift))
        return std::nullopt;
    return value << shift;
}

int RunOperatorCommand(const std::vector<std::string>& words, DataStore& data, std::istream& in,
                       std::ostream& out, std::ostream& err) {
    if (words.empty())
        return Usage(err);
    if (words[0] == "user" && words.size() >= 2)
        return UserCommand(words, data, in, out, err);
    if (words[0] == "limits")
        return LimitsCommand(words, data, out, err);
    if (words[0] == "backup")
        return BackupCommand(words, data, out, err);
    if (words[0] == "update" && words.size() >= 2)
        return UpdateCommand(words, data, out, err);
    if (words[0] == "feedback" && words.size() == 2 && words[1] == "list") {
        return FeedbackCommand(data, out, err);
    }
    return Usage(err);
}

}  // namespace albumd
