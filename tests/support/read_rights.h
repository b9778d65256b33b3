#pragma once

// Files that even the superuser cannot read. The tests run as root in CI,
// and root reads a file of mode 000 through its capabilities; taking those
// from the calling thread makes such a file as unreadable to it as to any
// other user.

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace testing_support {

// While it lives, the calling thread has neither CAP_DAC_OVERRIDE nor
// CAP_DAC_READ_SEARCH in effect (they stay permitted, and come back when it
// is destroyed). Only this thread is concerned: the program opens its files
// on the thread that asks for them.
class ReadRightsDropped {
 public:
  ReadRightsDropped() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct fewer[2] = {saved_[0], saved_[1]};
    fewer[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    dropped_ = syscall(SYS_capset, &header_, fewer) == 0;
  }
  ~ReadRightsDropped() {
    if (dropped_) syscall(SYS_capset, &header_, saved_);
  }
  ReadRightsDropped(const ReadRightsDropped&) = delete;
  ReadRightsDropped& operator=(const ReadRightsDropped&) = delete;

  // Whether a file of mode 000 now refuses to open for reading.
  bool Work() const {
    const std::string probe = "unreadable.probe";
    WriteFile(probe, "x");
    chmod(probe.c_str(), 0);
    const int fd = open(probe.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) close(fd);
    unlink(probe.c_str());
    return fd < 0;
  }

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool dropped_ = false;
};

}  // namespace testing_support
