// AtomicFile: a temporary file beside the target, renamed over it once complete.
#include "tarvo/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace tarvo {

namespace {

// A name beside path that no other writer uses: hidden, with the process and a counter in it.
std::string TemporaryName(const std::string& path, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".tarvo-" + std::to_string(getpid()) + "-" +
         std::to_string(counter.fetch_add(1) + attempt);
}

// Creates the temporary file with the permissions a new file gets (the umask applies), or those
// of the file it will replace. -1 when the folder takes no new file.
int CreateTemporary(const std::string& path, const struct stat* replaced, std::string& name) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName(path, attempt);
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      if (replaced) fchmod(descriptor, replaced->st_mode & 07777);
      return descriptor;
    }
    if (errno != EEXIST) break;
  }
  name.clear();
  return -1;
}

}  // namespace

AtomicFile::~AtomicFile() {
  Discard();
}

bool AtomicFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  struct stat status {};
  const bool exists = ::lstat(path.c_str(), &status) == 0;
  if (!exists || S_ISREG(status.st_mode)) {
    const int descriptor = CreateTemporary(path, exists ? &status : nullptr, temporary_);
    if (descriptor >= 0) {
      file_ = ::fdopen(descriptor, "wb");
      if (file_) return true;
      const int error = errno;
      ::close(descriptor);
      ::unlink(temporary_.c_str());
      temporary_.clear();
      errno = error;
      return false;
    }
  }
  errno = 0;
  file_ = std::fopen(path.c_str(), "wb");
  return file_ != nullptr;
}

int AtomicFile::Commit() {
  if (!file_) return EBADF;
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  int error = 0;
  if (std::fflush(file) != 0 || std::ferror(file)) error = errno ? errno : EIO;
  errno = 0;
  if (std::fclose(file) != 0 && error == 0) error = errno ? errno : EIO;
  if (temporary_.empty()) return error;
  if (error == 0 && std::rename(temporary_.c_str(), path_.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary_.c_str());
  temporary_.clear();
  return error;
}

void AtomicFile::Discard() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

int AtomicFile::WriteAndCommit(std::string_view bytes) {
  if (!file_) return EBADF;
  errno = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    const int error = errno ? errno : EIO;
    Discard();
    return error;
  }
  return Commit();
}

int WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file;
  if (!file.Open(path)) return errno ? errno : EIO;
  return file.WriteAndCommit(bytes);
}

}  // namespace tarvo
