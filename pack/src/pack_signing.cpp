#include "pack_signing.h"

#ifdef _WIN32

namespace corvath::pack {

bool can_sign() {
    return false;
}

std::optional<std::string> sign_image(const SigningRequest&, const std::filesystem::path&,
                                      const std::filesystem::path&) {
    return "this packer signs on Linux only: sign the pack afterwards (signtool sign /fd SHA256)";
}

} // namespace corvath::pack

#else

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace corvath::pack {

namespace {

// Writes the password to a new file that only its owner may read; false when it cannot.
bool WritePasswordFile(const std::filesystem::path& path, const char* password) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) {
        return false;
    }
    const std::string text = password;
    const bool written =
        write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return close(file) == 0 && written;
}

} // namespace

bool can_sign() {
    return true;
}

std::optional<std::string> sign_image(const SigningRequest& request,
                                      const std::filesystem::path& image,
                                      const std::filesystem::path& signed_image) {
    std::vector<std::string> arguments = {"osslsigncode", "sign",       "-pkcs12",
                                          request.pkcs12.string(), "-h", "sha256",
                                          "-in",          image.string(), "-out",
                                          signed_image.string()};
    const std::filesystem::path passwordFile = image.string() + ".signing-password";
    const char* password = std::getenv("CORVATH_SP_SIGN_PASSWORD");
    if (password != nullptr) {
        std::error_code ignored;
        std::filesystem::remove(passwordFile, ignored);
        if (!WritePasswordFile(passwordFile, password)) {
            std::filesystem::remove(passwordFile, ignored);
            return "cannot write the signing password's file beside " + image.string();
        }
        arguments.insert(arguments.end(), {"-readpass", passwordFile.string()});
    }
    if (!request.timestamp_url.empty()) {
        arguments.insert(arguments.end(), {"-ts", request.timestamp_url});
    }
    if (request.time) {
        // The same signing time in every rebuild: the same bytes and key give the same signature.
        arguments.insert(arguments.end(), {"-time", std::to_string(*request.time)});
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::error_code ignored;
    std::filesystem::remove(signed_image, ignored);
    pid_t child = 0;
    int status = 0;
    const int spawned = posix_spawnp(&child, "osslsigncode", nullptr, nullptr, argv.data(), environ);
    const bool waited = spawned == 0 && waitpid(child, &status, 0) == child;
    std::filesystem::remove(passwordFile, ignored);
    if (spawned != 0) {
        return "cannot run osslsigncode (install Debian's osslsigncode)";
    }
    if (!waited || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::filesystem::remove(signed_image, ignored);
        return "signing with " + request.pkcs12.string() + " failed (osslsigncode's output above)";
    }
    return std::nullopt;
}

} // namespace corvath::pack

#endif
