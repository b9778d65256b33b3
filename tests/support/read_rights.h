#pragma once

// Files that even the superuser cannot read: the tests run as root in CI, and
// root reads a file of mode 000 through its capabilities.

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"

namespace testing_support {

// While it lives, the calling thread (the one the program opens its files
// on) has neither CAP_DAC_OVERRIDE nor CAP_DAC_READ_SEARCH in effect; they
// stay permitted and come back when it is destroyed.
class ReadRightsDropped {
 public:
  ReadRightsDropped() {
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

  // Whether a file of mode 000 now refuses to open.
  bool Work() const {
    WriteFile("unreadable.probe", "x");
    chmod("unreadable.probe", 0);
    const int fd = open("unreadable.probe", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) close(fd);
    unlink("unreadable.probe");
    return fd < 0;
  }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool dropped_ = false;
};

}  // namespace testing_support
