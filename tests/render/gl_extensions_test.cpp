// Tests of the extension loader: the whole-word search, the version flags,
// and loads through a stand-in driver.

#include "render/gl_extensions.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

// A second, plain formulation of the whole-word rule: split at blanks, compare.
int exttest_WordIn(const std::string& extensions, const std::string& name) {
  std::istringstream words(extensions);
  const std::vector<std::string> all{std::istream_iterator<std::string>(words), {}};
  return name.find(' ') == std::string::npos && std::count(all.begin(), all.end(), name) > 0;
}

// The stand-in driver: its version and extension strings, and a lookup that
// finds every name but `g_missing` and the WGL names.
const char* g_version;
const char* g_extensions;
const char* g_missing;
void exttest_Found() {}
void exttest_Install(const char* version, const char* extensions, const char* missing) {
  std::tie(g_version, g_extensions, g_missing) = std::make_tuple(version, extensions, missing);
  ResetGLExtensionState();
  SetGLExtensionQueries([](unsigned int name) { return name == GL_VERSION ? g_version : g_extensions; },
                        [](const char* name) -> GLProc {
                          const bool missing = std::strcmp(name, g_missing) == 0 || std::strncmp(name, "wgl", 3) == 0;
                          return missing ? nullptr : exttest_Found;
                        });
}
// The entry points stored, and those of the named groups.
int exttest_Loaded() {
  return kGLEntryPointCount - std::count(std::begin(g_glExtensionProcs.gl), std::end(g_glExtensionProcs.gl), nullptr);
}
int exttest_Size(const std::string& group) {
  for (const GLExtensionGroup& g : kGLExtensionGroups)
    if (group == g.name) return g.entryPointCount;
  return -1;
}

TEST(GLExtensionsTest, ExtensionInStringFindsWholeWordsOnly) {
  for (const char* s : {"GL_A", "GL_A ", " GL_A", "GL_AGL_A", "GL_AGL_A GL_A", "GL_AB GL_A", "XGL_A GL_AX",
                        "GL_B  GL_A  GL_C", "GL_NV_ts2 GL_NV_ts3 GL_NV_ts", "GL_A GL_B", ""}) {
    for (const char* n : {"GL_A", "GL_AB", "GL_B", "GL_C", "GL_NV_ts", "GL_NV_ts2", "A", "GL_", "GL_A GL_B", ""}) {
      EXPECT_EQ(ExtensionInString(s, n), exttest_WordIn(s, n)) << "'" << s << "' '" << n << "'";
    }
  }
}

// Every GL entry point is a name the system's gl.h, glext.h or glx.h
// declares: a misspelt one would never load, and most groups are missing on
// the drivers the tests run on.
TEST(GLExtensionsTest, EveryEntryPointIsDeclaredBySystemHeaders) {
  std::string headers;
  for (const char* path : {"/usr/include/GL/gl.h", "/usr/include/GL/glext.h", "/usr/include/GL/glx.h"})
    headers += testing_support::ReadFile(path);
  for (const GLExtensionGroup& g : kGLExtensionGroups) {
    for (int i = 0; i < g.entryPointCount; ++i) {
      const std::string n = g.entryPoints[i];
      EXPECT_TRUE(headers.find(" " + n + " (") != std::string::npos || headers.find(n + "(") != std::string::npos) << n;
    }
  }
}

TEST(GLExtensionsTest, VersionsAreCumulative) {
  const std::pair<const char*, std::tuple<int, int, int>> cases[] = {
      {"1.1.0", {0, 0, 0}}, {"1.2.2 Microsoft", {1, 0, 0}}, {"1.3.1", {1, 1, 0}}, {"1.4.0 NVIDIA 53.03", {1, 1, 1}},
      {"2.1 Mesa", {1, 1, 1}}, {"0.9", {0, 0, 0}}, {"1", {0, 0, 0}}, {"1.x", {0, 0, 0}}, {"10.0", {1, 1, 1}},
      {"", {0, 0, 0}}, {"ES 3.2", {0, 0, 0}}, {"99999999999999999999.1", {1, 1, 1}}, {nullptr, {0, 0, 0}}};
  for (const auto& [text, flags] : cases) {
    const GLVersionFlags f = ParseGLVersion(text);
    EXPECT_EQ(std::make_tuple(f.version_1_2, f.version_1_3, f.version_1_4), flags) << (text ? text : "null");
  }
}

// The GL flags follow the extension string; the entry points of the
// supported groups are stored, and a missing one fails the load (the WGL
// string queries, which X11 lacks, do not).
TEST(GLExtensionsTest, LoadsTheSupportedGroupsAndAMissingEntryPointFailsTheLoad) {
  const char* extensions = "GL_ARB_multitexture GL_EXT_abgr GL_ARB_shadow";
  exttest_Install("1.2.1", extensions, "");
  EXPECT_EQ(LoadOpenGLExtensions(), 0);
  const int kept = exttest_Size("GL_ARB_multitexture") + exttest_Size("GL_VERSION_1_2");
  for (int i = 0; i < kGLExtensionCount; ++i) {
    EXPECT_EQ(g_glExtensionFlags.gl[i], exttest_WordIn(extensions, kGLExtensionNames[i])) << kGLExtensionNames[i];
  }
  EXPECT_EQ(exttest_Loaded(), kept);
  exttest_Install("1.3", "GL_ARB_multitexture", "glMultiTexCoord2fARB");
  EXPECT_EQ(LoadOpenGLExtensions(), 1);
  EXPECT_EQ(exttest_Loaded(), kept + exttest_Size("GL_VERSION_1_3") - 1);
  // Without a context no flag is touched and nothing is looked up.
  exttest_Install(nullptr, nullptr, "");
  g_glExtensionFlags.gl[6] = 1;  // GL_ARB_shadow, as if left from before
  EXPECT_EQ(LoadOpenGLExtensions(), 0);
  EXPECT_EQ(std::count(std::begin(g_glExtensionFlags.gl), std::end(g_glExtensionFlags.gl), 1) + exttest_Loaded(), 1);
  SetGLExtensionQueries(nullptr, nullptr);
  ResetGLExtensionState();
}

}  // namespace
