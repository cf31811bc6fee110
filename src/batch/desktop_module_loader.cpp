#include "batch/desktop_module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvil {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

std::optional<std::string> RunningExecutable(std::string& error) {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0 || static_cast<size_t>(length) >= path.size()) {
        error = std::string("cannot find the program's own file: ") +
                (length < 0 ? std::strerror(errno) : "name too long");
        return std::nullopt;
    }
    path.resize(static_cast<size_t>(length));
    return path;
}

}  // namespace

std::vector<std::string> DesktopModuleCandidates(const std::string& executablePath,
                                                 const std::string& installedDir) {
    const std::string folder = FolderOf(executablePath);
    return {Join(folder, kDesktopModuleFileName),
            Join(Join(folder, installedDir), kDesktopModuleFileName)};
}

std::optional<DesktopModule> LoadDesktopModule(std::string& error) {
    const auto executable = RunningExecutable(error);
    if (!executable) return std::nullopt;
    const auto candidates = DesktopModuleCandidates(*executable, TARVIL_MODULE_DIR_FROM_BIN);
    for (const std::string& candidate : candidates) {
        if (access(candidate.c_str(), F_OK) != 0) continue;
        // Never closed: the Qt objects it makes live until the process ends.
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* reason = dlerror();
            error = reason != nullptr ? reason : "cannot load " + candidate;
            return std::nullopt;
        }
        DesktopModule module;
        module.runDesktop = reinterpret_cast<RunDesktopFunction>(dlsym(handle, kRunDesktopSymbol));
        module.openBatchClipboard =
            reinterpret_cast<OpenBatchClipboardFunction>(dlsym(handle, kOpenBatchClipboardSymbol));
        if (module.runDesktop == nullptr || module.openBatchClipboard == nullptr) {
            error = candidate + " lacks the desktop module's entry points";
            return std::nullopt;
        }
        return module;
    }
    error = std::string(kDesktopModuleFileName) + " is neither in " + FolderOf(*executable) +
            " nor in " + FolderOf(candidates.back());
    return std::nullopt;
}

}  // namespace tarvil
