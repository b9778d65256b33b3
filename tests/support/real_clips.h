#pragma once

// The real capture data copied into a working folder, for the tests and the
// benchmarks that load it. No GoogleTest here, so benchmarks use it too.

#include <string>
#include <vector>

namespace testing_support {

// Copies the skeleton of subject 02 ("cmu02/02.asf" under `mocapDir`) as
// "MartialArts.asf" into the working folder, creates the motion folder and
// copies the named clips of "cmu02" into it under the same names. False
// (with a line on stderr) when a file cannot be copied, for instance when it
// is already there.
bool CopyRealClips(const std::string& mocapDir, const std::vector<std::string>& clips);

}  // namespace testing_support
