#include "tests/support/skip.h"
#include "render/gl_extensions.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gl_context.h"
#include "platform/gl_proc.h"

namespace {

// A second, plain formulation of the whole-word rule: split at blanks, compare.
int exttest_PlainWordSearch(const std::string& extensions, const std::string& name) {
  if (name.empty() || name.find(' ') != std::string::npos) return 0;
  std::string word;
  std::istringstream words(extensions);
  while (std::getline(words, word, ' ')) {
    if (word == name) return 1;
  }
  return 0;
}

// The GL groups, then the WGL groups.
std::vector<GLExtensionGroup> exttest_AllGroups() {
  std::vector<GLExtensionGroup> all(std::begin(kGLExtensionGroups), std::end(kGLExtensionGroups));
  all.insert(all.end(), std::begin(kWGLExtensionGroups), std::end(kWGLExtensionGroups));
  return all;
}

// The entry points of the named groups, one group after the other.
std::vector<std::string> exttest_Names(const std::vector<std::string>& groups) {
  std::vector<std::string> names;
  for (const std::string& group : groups) {
    for (const GLExtensionGroup& g : exttest_AllGroups()) {
      if (group == g.name) names.insert(names.end(), g.entryPoints, g.entryPoints + g.entryPointCount);
    }
  }
  return names;
}

// Every slot of the GL (or WGL) pointer table with its entry point's name,
// the groups' slots one after the other.
std::vector<std::pair<std::string, GLProc>> exttest_Slots(bool wgl) {
  std::vector<std::pair<std::string, GLProc>> slots;
  const GLExtensionGroup* groups = wgl ? kWGLExtensionGroups : kGLExtensionGroups;
  const GLProc* procs = wgl ? g_glExtensionProcs.wgl : g_glExtensionProcs.gl;
  for (int g = 0; g < (wgl ? kWGLGroupCount : kGLGroupCount); ++g) {
    for (int i = 0; i < groups[g].entryPointCount; ++i)
      slots.emplace_back(groups[g].entryPoints[i], *procs++);
  }
  return slots;
}
// The names whose pointer is set, in table order.
std::vector<std::string> exttest_Loaded(bool wgl = false) {
  std::vector<std::string> names;
  for (const auto& [name, proc] : exttest_Slots(wgl)) {
    if (proc != nullptr) names.push_back(name);
  }
  return names;
}

const std::vector<std::string> kWGLQueries = {"wglGetExtensionsStringARB", "wglGetExtensionsStringEXT"};

void exttest_Dummy() {}

// A driver stand-in, installed with fresh loader state for its lifetime: the
// strings it reports, the one name it lacks, the lookups it was asked for.
struct FakeDriver {
  FakeDriver(const char* version, const char* extensions, const char* missing = "")
      : version(version), extensions(extensions), missing(missing) {
    current = this;
    ResetGLExtensionState();
    SetGLExtensionQueries(Strings, Lookup);
  }
  ~FakeDriver() {
    SetGLExtensionQueries(nullptr, nullptr);
    ResetGLExtensionState();
  }
  static const char* Strings(unsigned int name) {
    if (name == GL_VERSION) return current->version;
    return name == GL_EXTENSIONS ? current->extensions : nullptr;
  }
  static GLProc Lookup(const char* name) {
    current->asked.push_back(name);
    if (name == kWGLQueries[0]) return current->wglStringARB;
    if (name == kWGLQueries[1]) return current->wglStringEXT;
    return name == current->missing ? nullptr : exttest_Dummy;
  }
  static inline FakeDriver* current = nullptr;
  const char* version;
  const char* extensions;
  std::string missing;
  std::vector<std::string> asked;
  GLProc wglStringARB = nullptr;
  GLProc wglStringEXT = nullptr;
};

const char* g_wglArbText = nullptr;
const char* g_wglExtText = nullptr;
void* g_wglArbHdc = nullptr;
const char* exttest_WglStringARB(void* hdc) {
  g_wglArbHdc = hdc;
  return g_wglArbText;
}
const char* exttest_WglStringEXT() { return g_wglExtText; }

}  // namespace

TEST(ExtensionInStringTest, FindsWholeWordsOnly) {
  {
    // Bad inputs.
    EXPECT_EQ(ExtensionInString(nullptr, "GL_EXT_abgr"), 0);
    EXPECT_EQ(ExtensionInString("GL_EXT_abgr", nullptr), 0);
    EXPECT_EQ(ExtensionInString("GL_EXT_abgr", ""), 0);
    EXPECT_EQ(ExtensionInString("GL_A GL_B", "GL_A GL_B"), 0);  // a blank in the name
    EXPECT_EQ(ExtensionInString(" ", " "), 0);
  }
  // "GL_AGL_A" holds a glued copy of the name, which is no word boundary.
  const std::string strings[] = {"GL_A",
                                 "GL_A ",
                                 " GL_A",
                                 "GL_AGL_A",
                                 "GL_AGL_A GL_A",
                                 "GL_AB GL_A",
                                 "XGL_A GL_AX",
                                 "GL_B  GL_A  GL_C",
                                 "GL_NV_ts2 GL_NV_ts3 GL_NV_ts",
                                 ""};
  const std::string names[] = {"GL_A", "GL_AB", "GL_B", "GL_C", "GL_NV_ts", "GL_NV_ts2", "A", "GL_"};
  for (const std::string& s : strings) {
    for (const std::string& n : names) {
      EXPECT_EQ(ExtensionInString(s.c_str(), n.c_str()), exttest_PlainWordSearch(s, n))
          << "'" << s << "' " << n;
    }
  }
}

TEST(ParseGLVersionTest, VersionsAreCumulative) {
  const std::pair<const char*, std::tuple<int, int, int>> cases[] = {
      {"1.1.0", {0, 0, 0}},         {"1.2.2 Microsoft", {1, 0, 0}},
      {"1.3.1", {1, 1, 0}},         {"1.4.0 NVIDIA 53.03", {1, 1, 1}},
      {"2.1 Mesa 11.2", {1, 1, 1}}, {"4.5 (Compatibility Profile) Mesa 22.3.6", {1, 1, 1}},
      {"10.0", {1, 1, 1}},          {"99999999999999999999.1", {1, 1, 1}}};
  for (const auto& [text, flags] : cases) {
    const GLVersionFlags f = ParseGLVersion(text);
    EXPECT_EQ(std::make_tuple(f.version_1_2, f.version_1_3, f.version_1_4), flags) << text;
  }
  for (const char* bad : {static_cast<const char*>(nullptr), "", "0.9", "1", "1.", "1.x", " 1.3", "ES 3.2"}) {
    const GLVersionFlags f = ParseGLVersion(bad);
    EXPECT_EQ(f.version_1_2 + f.version_1_3 + f.version_1_4, 0) << (bad ? bad : "null");
  }
}

// Each group is guarded by a recorded extension (or is a core version); its
// names carry its vendor's suffix (the core and imaging groups none); the GL
// groups' names are declared by the system's gl.h, glext.h or glx.h (the GL
// binding of X11), the WGL groups' are WGL names; no name is listed twice.
TEST(GLExtensionTablesTest, GroupsHoldTheirVendorsRegistryNames) {
  std::string headers;
  for (const char* path : {"/usr/include/GL/gl.h", "/usr/include/GL/glext.h", "/usr/include/GL/glx.h"}) {
    std::ifstream file(path);
    headers += std::string(std::istreambuf_iterator<char>(file), {});
  }
  ASSERT_NE(headers.find("GL_GLEXT_VERSION"), std::string::npos) << "gl.h and glext.h are needed";
  std::set<std::string> seen(kWGLQueries.begin(), kWGLQueries.end());
  for (const GLExtensionGroup& group : exttest_AllGroups()) {
    const std::string name = group.name;
    const bool core = name.rfind("GL_VERSION_", 0) == 0;
    const bool wgl = name.rfind("WGL_", 0) == 0;
    const char* const* recorded = wgl ? kWGLExtensionNames : kGLExtensionNames;
    const int count = wgl ? kWGLExtensionCount : kGLExtensionCount;
    EXPECT_TRUE(core || std::count(recorded, recorded + count, name) == 1) << name;
    const size_t first = name.find('_');
    const std::string vendor = name.substr(first + 1, name.find('_', first + 1) - first - 1);
    for (int i = 0; i < group.entryPointCount; ++i) {
      const std::string n = group.entryPoints[i];
      const bool declared = headers.find("APIENTRY " + n + " (") != std::string::npos ||
                            headers.find("APIENTRY " + n + "(") != std::string::npos ||
                            headers.find(" *" + n + "(") != std::string::npos ||
                            headers.find(" " + n + "(") != std::string::npos;
      EXPECT_TRUE(wgl ? n.rfind("wgl", 0) == 0 : declared) << n;
      for (const std::string suffix : {"ARB", "EXT", "NV", "ATI"}) {
        const bool ends = n.size() > suffix.size() && n.substr(n.size() - suffix.size()) == suffix;
        EXPECT_EQ(ends, !core && name != "GL_ARB_imaging" && suffix == vendor) << n;
      }
      EXPECT_TRUE(seen.insert(n).second) << "listed twice: " << n;
    }
  }
  EXPECT_EQ(seen.size(), 2u + kGLEntryPointCount + kWGLEntryPointCount);
  EXPECT_EQ(std::set<std::string>(std::begin(kGLExtensionNames), std::end(kGLExtensionNames)).size(), 75u);
  EXPECT_EQ(std::set<std::string>(std::begin(kWGLExtensionNames), std::end(kWGLExtensionNames)).size(), 9u);
}

// Whole loads: the GL flags follow the extension string, the lookups the
// supported groups in table order and then the two WGL string queries (absent
// here, which is no failure); every entry point found is stored and a missing
// one fails the load, although the WGL part, which runs last, clears the
// failure flag for itself.
TEST(LoadOpenGLExtensionsTest, LoadsTheSupportedGroupsInTableOrder) {
  std::string all;
  for (const char* n : kGLExtensionNames) all += std::string(n) + " ";
  std::vector<std::string> sequenced;  // GL_NV_evaluators, the last group, never loads
  for (int g = 0; g < kGLGroupCount - 1; ++g) sequenced.push_back(kGLExtensionGroups[g].name);
  const struct {
    const char* version;
    const char* extensions;
    const char* missing;
    int result;
    std::vector<std::string> groups;
  } cases[] = {
      {"1.3.1",
       "GL_ARB_multitexture GL_EXT_abgr",
       "glMultiTexCoord2fARB",
       1,
       {"GL_ARB_multitexture", "GL_VERSION_1_2", "GL_VERSION_1_3"}},
      {"1.2.1", "GL_ARB_multitexture GL_EXT_abgr", "", 0, {"GL_ARB_multitexture", "GL_VERSION_1_2"}},
      {"1.1", "GL_EXT_stencil_two_side", "glActiveStencilFaceEXT", 1, {"GL_EXT_stencil_two_side"}},
      {"1.4.0", all.c_str(), "", 0, sequenced},
      {nullptr, "GL_ARB_multitexture", "", 0, {}},  // no context: no flag touched, no GL lookup
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version ? c.version : "no context");
    FakeDriver fake(c.version, c.extensions, c.missing);
    const int shadow =
        std::find(kGLExtensionNames, kGLExtensionNames + kGLExtensionCount, std::string("GL_ARB_shadow")) -
        kGLExtensionNames;
    g_glExtensionFlags.gl[shadow] = 1;
    EXPECT_EQ(LoadOpenGLExtensions(), c.result);
    for (int i = 0; i < kGLExtensionCount; ++i) {
      const int expected =
          c.version ? exttest_PlainWordSearch(c.extensions, kGLExtensionNames[i]) : i == shadow;
      EXPECT_EQ(g_glExtensionFlags.gl[i], expected) << kGLExtensionNames[i];
    }
    std::vector<std::string> want = exttest_Names(c.groups);
    std::vector<std::string> loaded = want;
    loaded.erase(std::remove(loaded.begin(), loaded.end(), c.missing), loaded.end());
    EXPECT_EQ(exttest_Loaded(), loaded);
    EXPECT_TRUE(exttest_Loaded(true).empty());
    want.insert(want.end(), kWGLQueries.begin(), kWGLQueries.end());
    EXPECT_EQ(fake.asked, want);
    EXPECT_EQ(InitWGLExtensions(nullptr), 0);
  }
  // The unsequenced group loads through its own loader.
  FakeDriver fake("1.1", "GL_NV_evaluators");
  LoadOpenGLExtensions();
  EXPECT_TRUE(exttest_Loaded().empty());
  InitGL_NV_evaluators();
  EXPECT_EQ(exttest_Loaded(), exttest_Names({"GL_NV_evaluators"}));
}

TEST(LoadOpenGLExtensionsTest, WGLPartFollowsItsStringQueries) {
  {
    // Only the EXT query: its string decides; loaders run in their order.
    FakeDriver fake("1.1", "");
    fake.wglStringEXT = reinterpret_cast<GLProc>(exttest_WglStringEXT);
    g_wglExtText = "WGL_ARB_pbuffer WGL_EXT_swap_control WGL_NV_render_depth_texture";
    EXPECT_EQ(LoadOpenGLExtensions(), 0);
    EXPECT_EQ(g_glExtensionFlags.wglGetExtensionsStringARB, 0);
    EXPECT_EQ(g_glExtensionFlags.wglGetExtensionsStringEXT, 1);
    for (int i = 0; i < kWGLExtensionCount; ++i) {
      EXPECT_EQ(g_glExtensionFlags.wgl[i], exttest_PlainWordSearch(g_wglExtText, kWGLExtensionNames[i])) << i;
    }
    std::vector<std::string> loaded = exttest_Names({"WGL_EXT_swap_control", "WGL_ARB_pbuffer"});
    EXPECT_EQ(exttest_Loaded(true), loaded);
    loaded.insert(loaded.begin(), kWGLQueries.begin(), kWGLQueries.end());
    EXPECT_EQ(fake.asked, loaded);
    // A missing WGL entry point fails both the WGL part and the whole load.
    fake.missing = "wglQueryPbufferARB";
    EXPECT_EQ(InitWGLExtensions(nullptr), 1);
    EXPECT_EQ(LoadOpenGLExtensions(), 1);
  }
  {
    // The ARB query wins when a device context is set; without one the EXT
    // query answers.
    FakeDriver fake(nullptr, nullptr);
    fake.wglStringARB = reinterpret_cast<GLProc>(exttest_WglStringARB);
    fake.wglStringEXT = reinterpret_cast<GLProc>(exttest_WglStringEXT);
    g_wglArbText = "WGL_ARB_multisample";
    g_wglExtText = "WGL_ARB_pixel_format";
    ASSERT_STREQ(kWGLExtensionNames[2], "WGL_ARB_multisample");
    ASSERT_STREQ(kWGLExtensionNames[4], "WGL_ARB_pixel_format");
    int token = 0;
    SetExtensionHDC(&token);
    EXPECT_EQ(LoadOpenGLExtensions(), 0);
    EXPECT_EQ(g_wglArbHdc, &token);
    EXPECT_EQ(std::make_pair(g_glExtensionFlags.wgl[2], g_glExtensionFlags.wgl[4]), std::make_pair(1, 0));
    EXPECT_EQ(WGLExtensionSupported("WGL_ARB_multisample WGL_ARB_pixel_format"), 0);
    EXPECT_EQ(WGLExtensionSupported(""), 0);
    EXPECT_EQ(InitWGLExtensions(nullptr), 0);
    EXPECT_EQ(std::make_pair(g_glExtensionFlags.wgl[2], g_glExtensionFlags.wgl[4]), std::make_pair(0, 1));
  }
}

TEST(LoadOpenGLExtensionsTest, WithoutAContextRecordsNothing) {
  ResetGLExtensionState();
  EXPECT_EQ(LoadOpenGLExtensions(), 0);
  EXPECT_EQ(GLExtensionSupported("GL_ARB_multitexture"), 0);
  for (int f : g_glExtensionFlags.gl) EXPECT_EQ(f, 0);
  EXPECT_EQ(g_glExtensionFlags.version_1_2, 0);
  EXPECT_TRUE(exttest_Loaded().empty());
}

TEST(LoadOpenGLExtensionsTest, RealDriverLoadsCleanly) {
  platform::OffscreenGLContext gl;
  if (!gl.Create(32, 32)) TAVRIN_SKIP_TEST(gl.error());
  // The platform lookup knows no Windows names and no empty names.
  for (const char* none :
       {"wglCreatePbufferARB", "wglGetExtensionsStringARB", "", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(platform::GetGLProcAddress(none), nullptr) << (none ? none : "null");
  }
  ResetGLExtensionState();
  EXPECT_EQ(LoadOpenGLExtensions(), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  int major = 0;
  int minor = 0;
  ASSERT_TRUE(version != nullptr && extensions != nullptr);
  ASSERT_EQ(std::sscanf(version, "%d.%d", &major, &minor), 2) << version;
  const int at = major * 10 + minor;
  const GLExtensionFlags& f = g_glExtensionFlags;
  EXPECT_EQ(std::make_tuple(f.version_1_2, f.version_1_3, f.version_1_4),
            std::make_tuple(at >= 12 ? 1 : 0, at >= 13 ? 1 : 0, at >= 14 ? 1 : 0))
      << version;
  for (int i = 0; i < kGLExtensionCount; ++i) {
    EXPECT_EQ(f.gl[i], exttest_PlainWordSearch(extensions, kGLExtensionNames[i])) << kGLExtensionNames[i];
  }
  // No WGL on X11: every WGL flag and pointer stays 0.
  for (int flag : f.wgl) EXPECT_EQ(flag, 0);
  EXPECT_EQ(f.wglGetExtensionsStringARB + f.wglGetExtensionsStringEXT, 0);
  EXPECT_TRUE(exttest_Loaded(true).empty());

  // A loaded entry point is the driver's working function.
  if (f.version_1_3 == 0) return;  // a driver before 1.3 has no glActiveTexture
  GLProc proc = nullptr;
  for (const auto& [name, p] : exttest_Slots(false)) proc = name == "glActiveTexture" ? p : proc;
  auto activeTexture = reinterpret_cast<void (*)(GLenum)>(proc);
  ASSERT_NE(activeTexture, nullptr);
  activeTexture(GL_TEXTURE0 + 1);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, static_cast<GLint>(GL_TEXTURE0 + 1));
  activeTexture(GL_TEXTURE0);
}
