#include "cli/output_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixmidi {

namespace {

constexpr mode_t new_file_mode = 0666;

mode_t current_umask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The file a rename has to replace: the target of a symbolic link, so that
// the link itself survives.
std::string resolve_target(const std::string& path)
{
    struct stat link_info {};
    if (::lstat(path.c_str(), &link_info) == 0 && S_ISLNK(link_info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

std::string directory_of(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_name_of(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool open_in_place(const std::string& path, OutputFile& file)
{
    file.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, new_file_mode);
    return file.fd >= 0;
}

bool open_beside(const std::string& target, mode_t mode, OutputFile& file)
{
    std::string temp = directory_of(target) + "/." + base_name_of(target) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::fchmod(fd, mode);
    file.fd = fd;
    file.temp_path = std::move(temp);
    file.path = target;
    return true;
}

}  // namespace

bool open_output(const std::string& path, OutputFile& file)
{
    file = OutputFile{path, {}, -1};
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        return open_in_place(path, file);
    }
    if (path.empty() || path.back() == '/') {
        return false;
    }
    const mode_t mode = exists ? (info.st_mode & 07777) : (new_file_mode & ~current_umask());
    if (open_beside(resolve_target(path), mode, file)) {
        return true;
    }
    // A writable file in a directory we may not create files in: write it in
    // place, since that is still what the user asked for.
    return exists && open_in_place(path, file);
}

bool commit_output(OutputFile& file, bool write_ok)
{
    const bool closed = ::close(file.fd) == 0;
    file.fd = -1;
    if (file.temp_path.empty()) {
        return write_ok && closed;
    }
    if (write_ok && closed && ::rename(file.temp_path.c_str(), file.path.c_str()) == 0) {
        return true;
    }
    ::unlink(file.temp_path.c_str());
    return false;
}

}  // namespace mixmidi
