#include "UpdateFiles.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "PhotoFiles.h"
#include "UpdateSigning.h"

namespace albumd {

namespace fs = std::filesystem;

namespace {

// Writes `bytes` to a temporary file beside `path`, syncs it and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
    std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return false;
    }
    std::error_code ec;
    if (!PhotoFiles::SyncFile(temp))
        return false;
    fs::rename(temp, path, ec);
    return !ec;
}

bool IsAddressCharacter(char c) {
    return c > 32 && c < 127 && c != '"';
}

}  // namespace

bool UpdateFiles::IsValidVersion(std::string_view version) {
    if (version.empty() || version.size() > 32)
        return false;
    bool expectDigit = true;
    for (char c : version) {
        if (c >= '0' && c <= '9') {
            expectDigit = false;
        } else if (c == '.' && !expectDigit) {
            expectDigit = true;
        } else {
            return false;
        }
    }
    return !expectDigit;
}

bool UpdateFiles::IsValidPackageName(std::string_view name) {
    if (name.empty() || name.size() > 128 || name.front() == '.')
        return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

std::string UpdateFiles::VersionFileBytes(std::string_view version,
                                          std::string_view packageAddress) {
    std::string line =
        "version " + std::string(version) + " " + std::string(packageAddress) + "\r\n";
    std::string bytes = "\xFF\xFE";
    for (char c : line) {  // the line is ASCII, so each character is one UTF-16 unit
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

std::string UpdateFiles::PackagePath(std::string_view name) const {
    return dataDir_ + "packages/" + std::string(name);
}

bool UpdateFiles::Publish(std::string_view version, const std::string& sourceFile,
                          std::string_view baseAddress, std::string& error,
                          const std::string& signingKeyFile) {
    if (!IsValidVersion(version)) {
        error = "the version must be dotted decimal, e.g. 0.1.2.0";
        return false;
    }
    std::string name = fs::path(sourceFile).filename().string();
    if (!IsValidPackageName(name)) {
        error = "the package file name may hold only A-Z a-z 0-9 . _ - and not start with a dot";
        return false;
    }
    while (!baseAddress.empty() && baseAddress.back() == '/')
        baseAddress.remove_suffix(1);
    bool http = baseAddress.rfind("http://", 0) == 0 || baseAddress.rfind("https://", 0) == 0;
    for (char c : baseAddress)
        http = http && IsAddressCharacter(c);
    if (!http) {
        error = "the base address must be http:// or https:// without spaces or quotes";
        return false;
    }
    std::ifstream in(sourceFile, std::ios::binary);
    if (!in) {
        error = "cannot read " + sourceFile;
        return false;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::optional<UpdateSigningKey> key =
        signingKeyFile.empty() ? UpdateSigningKey::OfDataFolder(dataDir_, error)
                               : UpdateSigningKey::FromFile(signingKeyFile, error);
    if (!key)
        return false;
    content += key->SignatureTrailer(content);
    std::error_code ec;
    fs::create_directories(dataDir_ + "packages", ec);
    if (ec || !ReplaceFile(PackagePath(name), content)) {
        error = "cannot write " + PackagePath(name);
        return false;
    }
    std::string address = std::string(baseAddress) + "/tavopix/packages/" + name;
    if (!ReplaceFile(VersionFilePath(), VersionFileBytes(version, address))) {
        error = "cannot write " + VersionFilePath();
        return false;
    }
    return true;
}

std::optional<std::string> UpdateFiles::SigningPublicKey(std::string& error) const {
    const std::optional<UpdateSigningKey> key = UpdateSigningKey::OfDataFolder(dataDir_, error);
    return key ? std::optional<std::string>(key->PublicKeyHex()) : std::nullopt;
}

bool UpdateFiles::Withdraw(std::string& error) {
    std::error_code ec;
    fs::remove(VersionFilePath(), ec);
    if (ec)
        error = ec.message();
    return !ec;
}

std::string UpdateFiles::CurrentLine() const {
    std::ifstream in(VersionFilePath(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string line;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char c = bytes[i];
        if (c == '\r' || c == '\n')
            break;
        line.push_back(c);
    }
    return line;
}

}  // namespace albumd
