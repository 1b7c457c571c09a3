// The files the client's self-update fetches: the version file "update.dat" (UTF-16LE with a
// byte-order mark, one line "version <dotted version> <package address>" ending in CR LF) and the
// packages in "packages/", each signed as it is published (UpdateSigning.h). Written by the
// operator's command, served as they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace albumd {

class UpdateFiles {
public:
    // `dataDir` ends with '/'.
    explicit UpdateFiles(std::string dataDir) : dataDir_(std::move(dataDir)) {}

    // Dotted decimal: digits separated by single dots, e.g. "0.1.2.0".
    [[nodiscard]] static bool IsValidVersion(std::string_view version);
    // A package name: A–Z a–z 0–9 . _ - , not starting with a dot, at most 128 characters.
    [[nodiscard]] static bool IsValidPackageName(std::string_view name);
    // The text of the version file for `version` and `packageAddress`, as UTF-16LE bytes.
    [[nodiscard]] static std::string VersionFileBytes(std::string_view version,
                                                      std::string_view packageAddress);

    [[nodiscard]] std::string VersionFilePath() const { return dataDir_ + "update.dat"; }
    [[nodiscard]] std::string PackagePath(std::string_view name) const;

    // Copies `sourceFile`, signed with the key in `signingKeyFile` (empty: the data folder's
    // key, made when there is none), into the packages folder under its own file name and
    // writes the version file naming it at `baseAddress` (e.g. "http://127.0.0.1:8080"). Both
    // files are replaced atomically. false with `error` set on failure.
    [[nodiscard]] bool Publish(std::string_view version, const std::string& sourceFile,
                               std::string_view baseAddress, std::string& error,
                               const std::string& signingKeyFile = {});
    // The public key that packages are signed with (the data folder's, made when there is none).
    [[nodiscard]] std::optional<std::string> SigningPublicKey(std::string& error) const;
    // Removes the version file, so clients see no update.
    [[nodiscard]] bool Withdraw(std::string& error);
    // The version file's line as UTF-8; empty when there is none.
    [[nodiscard]] std::string CurrentLine() const;

private:
    std::string dataDir_;
};

}  // namespace albumd
