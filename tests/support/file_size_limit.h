#pragma once
// Makes writes past a size fail in every file of the process, as on a full
// disk (EFBIG instead of the SIGXFSZ signal), even for root, who writes
// into read-only folders. The old limit is restored when it goes.

#include <sys/resource.h>

#include <csignal>

namespace orvane::testing {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        struct rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    struct rlimit saved_ {};
    void (*handler_)(int);
};

}  // namespace orvane::testing
