// OpenAL Soft plays into its null back end in these tests: set before any sound object exists.
#include <cstdlib>

namespace {

const bool nullAudioOutput = [] { return ::setenv("ALSOFT_DRIVERS", "null", 1) == 0; }();

}  // namespace
