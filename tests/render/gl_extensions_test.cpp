#include "render/gl_extensions.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gl_context.h"
#include "platform/gl_proc.h"

namespace {

// A second, plain formulation of the whole-word rule: split at blanks, compare.
int exttest_PlainWordSearch(const std::string& extensions, const std::string& name) {
  if (name.empty() || name.find(' ') != std::string::npos) return 0;
  size_t begin = 0;
  while (begin <= extensions.size()) {
    size_t end = extensions.find(' ', begin);
    if (end == std::string::npos) end = extensions.size();
    if (extensions.compare(begin, end - begin, name) == 0 && end - begin == name.size()) return 1;
    begin = end + 1;
  }
  return 0;
}

int exttest_GLIndex(const char* name) {
  for (int i = 0; i < kGLExtensionCount; ++i) {
    if (std::strcmp(kGLExtensionNames[i], name) == 0) return i;
  }
  return -1;
}

bool exttest_EndsWith(const std::string& text, const std::string& end) {
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

int exttest_GroupIndex(const char* group) {
  for (int i = 0; i < kGLGroupCount; ++i) {
    if (std::strcmp(kGLExtensionGroups[i].name, group) == 0) return i;
  }
  return -1;
}

// Offset of a group's entry points in g_glExtensionProcs.gl.
int exttest_GLOffset(const char* group) {
  int offset = 0;
  for (const GLExtensionGroup& g : kGLExtensionGroups) {
    if (std::strcmp(g.name, group) == 0) return offset;
    offset += g.entryPointCount;
  }
  return -1;
}

// A driver stand-in: the strings it reports, the names it lacks, the lookups
// it was asked for.
struct FakeDriver {
  const char* version = nullptr;
  const char* extensions = nullptr;
  std::set<std::string> missing;
  std::vector<std::string> asked;
  GLProc wglStringARB = nullptr;
  GLProc wglStringEXT = nullptr;
};
FakeDriver* g_fake = nullptr;

void exttest_Dummy() {}

const char* exttest_Strings(unsigned int name) {
  if (name == GL_VERSION) return g_fake->version;
  if (name == GL_EXTENSIONS) return g_fake->extensions;
  return nullptr;
}

GLProc exttest_Lookup(const char* name) {
  g_fake->asked.push_back(name);
  const std::string n = name;
  if (n == "wglGetExtensionsStringARB") return g_fake->wglStringARB;
  if (n == "wglGetExtensionsStringEXT") return g_fake->wglStringEXT;
  if (g_fake->missing.count(n) != 0) return nullptr;
  return exttest_Dummy;
}

// Installs a fake driver with fresh loader state for one block of a test.
class ScopedFakeDriver {
 public:
  explicit ScopedFakeDriver(FakeDriver* fake) {
    g_fake = fake;
    ResetGLExtensionState();
    SetGLExtensionQueries(exttest_Strings, exttest_Lookup);
  }
  ~ScopedFakeDriver() {
    SetGLExtensionQueries(nullptr, nullptr);
    ResetGLExtensionState();
    g_fake = nullptr;
  }
};

std::vector<std::string> exttest_GroupNames(const GLExtensionGroup& group) {
  return std::vector<std::string>(group.entryPoints, group.entryPoints + group.entryPointCount);
}

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
  const char* two = "GL_ARB_multitexture GL_EXT_abgr";
  EXPECT_EQ(ExtensionInString(two, "GL_ARB_multitexture"), 1);  // first word
  EXPECT_EQ(ExtensionInString(two, "GL_EXT_abgr"), 1);          // last word, string end
  EXPECT_EQ(ExtensionInString(two, "GL_EXT_abg"), 0);
  EXPECT_EQ(ExtensionInString(two, "ARB_multitexture"), 0);
  EXPECT_EQ(ExtensionInString(two, two), 0);  // a blank in the name
  EXPECT_EQ(ExtensionInString("GL_NV_texture_shader2", "GL_NV_texture_shader"), 0);
  // A glued copy of the name is no word boundary.
  EXPECT_EQ(ExtensionInString("GL_XGL_X", "GL_X"), 0);
  {
    // Bad inputs.
    EXPECT_EQ(ExtensionInString(nullptr, "GL_EXT_abgr"), 0);
    EXPECT_EQ(ExtensionInString(two, nullptr), 0);
    EXPECT_EQ(ExtensionInString(two, ""), 0);
    EXPECT_EQ(ExtensionInString("", "GL_EXT_abgr"), 0);
    EXPECT_EQ(ExtensionInString(" ", " "), 0);
  }

  const std::vector<std::string> strings = {
      "",
      "GL_A",
      "GL_A ",
      " GL_A",
      "GL_AB GL_A",
      "GL_AGL_A GL_A",
      "GL_AGL_A",
      "XGL_A GL_AX",
      "GL_B  GL_A  GL_C",
      "GL_NV_texture_shader2 GL_NV_texture_shader3 GL_NV_texture_shader",
  };
  const std::vector<std::string> names = {"GL_A", "GL_AB", "GL_B", "GL_C", "GL_NV_texture_shader",
                                          "GL_NV_texture_shader2", "A", "GL_"};
  for (const std::string& s : strings) {
    for (const std::string& n : names) {
      EXPECT_EQ(ExtensionInString(s.c_str(), n.c_str()), exttest_PlainWordSearch(s, n))
          << "'" << s << "' / '" << n << "'";
    }
  }
}

TEST(ParseGLVersionTest, VersionsAreCumulative) {
  struct Case {
    const char* text;
    int v12, v13, v14;
  };
  const Case cases[] = {
      {"1.3.1", 1, 1, 0},
      {"1.1.0", 0, 0, 0},
      {"1.2", 1, 0, 0},
      {"1.2.2 Microsoft", 1, 0, 0},
      {"1.4.0 NVIDIA 53.03", 1, 1, 1},
      {"1.5.0", 1, 1, 1},
      {"2.1 Mesa 11.2", 1, 1, 1},
      {"4.5 (Compatibility Profile) Mesa 22.3.6", 1, 1, 1},
      {"10.0", 1, 1, 1},
      {"0.9", 0, 0, 0},
      {"", 0, 0, 0},
      {"1", 0, 0, 0},
      {"1.", 0, 0, 0},
      {"1.x", 0, 0, 0},
      {" 1.3", 0, 0, 0},
      {"OpenGL ES 3.2 Mesa", 0, 0, 0},
      {"99999999999999999999.1", 1, 1, 1},
  };
  for (const Case& c : cases) {
    const GLVersionFlags f = ParseGLVersion(c.text);
    EXPECT_EQ(f.version_1_2, c.v12) << c.text;
    EXPECT_EQ(f.version_1_3, c.v13) << c.text;
    EXPECT_EQ(f.version_1_4, c.v14) << c.text;
  }
  const GLVersionFlags none = ParseGLVersion(nullptr);
  EXPECT_EQ(none.version_1_2 + none.version_1_3 + none.version_1_4, 0);
}

TEST(GLExtensionTablesTest, GroupsHoldTheirEntryPoints) {
  struct Expected {
    const char* group;
    int count;
    const char* first;
    const char* last;
  };
  // Load order, sizes and end names of every group.
  const Expected gl[] = {
      {"GL_ARB_transpose_matrix", 4, "glLoadTransposeMatrixfARB", "glMultTransposeMatrixdARB"},
      {"GL_ARB_multisample", 1, "glSampleCoverageARB", "glSampleCoverageARB"},
      {"GL_EXT_compiled_vertex_array", 2, "glLockArraysEXT", "glUnlockArraysEXT"},
      {"GL_EXT_secondary_color", 17, "glSecondaryColor3bEXT", "glSecondaryColorPointerEXT"},
      {"GL_EXT_fog_coord", 5, "glFogCoordfEXT", "glFogCoordPointerEXT"},
      {"GL_NV_vertex_array_range", 4, "glFlushVertexArrayRangeNV", "wglFreeMemoryNV"},
      {"GL_EXT_point_parameters", 2, "glPointParameterfEXT", "glPointParameterfvEXT"},
      {"GL_NV_register_combiners", 13, "glCombinerParameterfvNV", "glGetFinalCombinerInputParameterivNV"},
      {"GL_EXT_vertex_weighting", 3, "glVertexWeightfEXT", "glVertexWeightPointerEXT"},
      {"GL_NV_vertex_program", 64, "glBindProgramNV", "glVertexAttribs4ubvNV"},
      {"GL_NV_fence", 7, "glGenFencesNV", "glGetFenceivNV"},
      {"GL_NV_register_combiners2", 2, "glCombinerStageParameterfvNV", "glGetCombinerStageParameterfvNV"},
      {"GL_ATI_pn_triangles", 2, "glPNTrianglesiATI", "glPNTrianglesfATI"},
      {"GL_ARB_point_parameters", 2, "glPointParameterfARB", "glPointParameterfvARB"},
      {"GL_ARB_vertex_blend", 10, "glWeightbvARB", "glVertexBlendARB"},
      {"GL_EXT_multi_draw_arrays", 2, "glMultiDrawArraysEXT", "glMultiDrawElementsEXT"},
      {"GL_ARB_matrix_palette", 5, "glCurrentPaletteMatrixARB", "glMatrixIndexPointerARB"},
      {"GL_EXT_vertex_shader", 42, "glBeginVertexShaderEXT", "glGetLocalConstantFloatvEXT"},
      {"GL_ATI_envmap_bumpmap", 4, "glTexBumpParameterivATI", "glGetTexBumpParameterfvATI"},
      {"GL_ATI_fragment_shader", 14, "glGenFragmentShadersATI", "glSetFragmentShaderConstantATI"},
      {"GL_ATI_element_array", 3, "glElementPointerATI", "glDrawRangeElementArrayATI"},
      {"GL_ATI_vertex_streams", 37, "glClientActiveVertexStreamATI", "glNormalStream3dvATI"},
      {"GL_ATI_vertex_array_object", 12, "glNewObjectBufferATI", "glGetVariantArrayObjectivATI"},
      {"GL_NV_occlusion_query", 7, "glGenOcclusionQueriesNV", "glGetOcclusionQueryuivNV"},
      {"GL_NV_point_sprite", 2, "glPointParameteriNV", "glPointParameterivNV"},
      {"GL_ARB_window_pos", 16, "glWindowPos2dARB", "glWindowPos3svARB"},
      {"GL_ARB_texture_compression", 7, "glCompressedTexImage3DARB", "glGetCompressedTexImageARB"},
      {"GL_EXT_draw_range_elements", 1, "glDrawRangeElementsEXT", "glDrawRangeElementsEXT"},
      {"GL_EXT_stencil_two_side", 1, "glActiveStencilFaceEXT", "glActiveStencilFaceEXT"},
      {"GL_ARB_vertex_program", 62, "glVertexAttrib1sARB", "glIsProgramARB"},
      {"GL_EXT_cull_vertex", 2, "glCullParameterfvEXT", "glCullParameterdvEXT"},
      {"GL_ARB_imaging", 34, "glBlendColor", "glResetMinmax"},
      {"GL_ARB_multitexture", 34, "glActiveTextureARB", "glMultiTexCoord4svARB"},
      {"GL_VERSION_1_2", 4, "glTexImage3D", "glDrawRangeElements"},
      {"GL_VERSION_1_3", 46, "glActiveTexture", "glSampleCoverage"},
      {"GL_NV_evaluators", 9, "glMapControlPointsNV", "glEvalMapsNV"},
  };
  const Expected wgl[] = {
      {"WGL_ARB_make_current_read", 2, "wglMakeContextCurrentARB", "wglGetCurrentReadDCARB"},
      {"WGL_EXT_swap_control", 2, "wglSwapIntervalEXT", "wglGetSwapIntervalEXT"},
      {"WGL_ARB_render_texture", 3, "wglBindTexImageARB", "wglSetPbufferAttribARB"},
      {"WGL_ARB_pixel_format", 3, "wglGetPixelFormatAttribivARB", "wglChoosePixelFormatARB"},
      {"WGL_ARB_pbuffer", 5, "wglCreatePbufferARB", "wglQueryPbufferARB"},
      {"WGL_ARB_buffer_region", 4, "wglCreateBufferRegionARB", "wglRestoreBufferRegionARB"},
  };
  ASSERT_EQ(std::size(gl), static_cast<size_t>(kGLGroupCount));
  ASSERT_EQ(std::size(wgl), static_cast<size_t>(kWGLGroupCount));

  std::set<std::string> seen = {"wglGetExtensionsStringARB", "wglGetExtensionsStringEXT"};
  int sequenced = 0;
  auto check = [&seen](const GLExtensionGroup& group, const Expected& want) {
    SCOPED_TRACE(want.group);
    EXPECT_STREQ(group.name, want.group);
    const std::vector<std::string> names = exttest_GroupNames(group);
    ASSERT_EQ(static_cast<int>(names.size()), want.count);
    EXPECT_EQ(names.front(), want.first);
    EXPECT_EQ(names.back(), want.last);
    // An extension group's vendor ends each of its names; the core and
    // imaging groups carry no vendor suffix.
    const std::string groupName = group.name;
    const bool core = groupName.rfind("GL_VERSION_", 0) == 0 || groupName == "GL_ARB_imaging";
    const size_t first = groupName.find('_');
    const std::string vendor = groupName.substr(first + 1, groupName.find('_', first + 1) - first - 1);
    for (const std::string& n : names) {
      EXPECT_TRUE(n.rfind("gl", 0) == 0 || n.rfind("wgl", 0) == 0) << n;
      if (core) {
        for (const char* suffix : {"ARB", "EXT", "NV", "ATI"}) EXPECT_FALSE(exttest_EndsWith(n, suffix)) << n;
      } else {
        EXPECT_TRUE(exttest_EndsWith(n, vendor)) << n;
      }
      EXPECT_TRUE(seen.insert(n).second) << "listed twice: " << n;
    }
  };
  for (int i = 0; i < kGLGroupCount; ++i) {
    check(kGLExtensionGroups[i], gl[i]);
    if (i < kGLGroupCount - 1) sequenced += gl[i].count;
  }
  for (int i = 0; i < kWGLGroupCount; ++i) check(kWGLExtensionGroups[i], wgl[i]);
  EXPECT_EQ(sequenced, 473);
  EXPECT_EQ(seen.size(), 2u + 482u + 19u);

  // Every group but the core ones is guarded by a recorded extension.
  for (const GLExtensionGroup& g : kGLExtensionGroups) {
    if (std::strncmp(g.name, "GL_VERSION_", 11) != 0) {
      EXPECT_GE(exttest_GLIndex(g.name), 0) << g.name;
    }
  }
  // Recorded names: 75 distinct GL names, 9 distinct WGL names.
  EXPECT_EQ(std::set<std::string>(kGLExtensionNames, kGLExtensionNames + kGLExtensionCount).size(), 75u);
  EXPECT_EQ(std::set<std::string>(kWGLExtensionNames, kWGLExtensionNames + kWGLExtensionCount).size(), 9u);
}

// The GL names are those of the registry: the system's gl.h and glext.h,
// generated from it, declare each one.
TEST(GLExtensionTablesTest, GLNamesAreRegistryNames) {
  std::string headers;
  for (const char* path : {"/usr/include/GL/gl.h", "/usr/include/GL/glext.h"}) {
    std::ifstream file(path);
    if (!file) GTEST_SKIP() << path << " is not installed";
    std::stringstream text;
    text << file.rdbuf();
    headers += text.str();
  }
  int checked = 0;
  for (const GLExtensionGroup& g : kGLExtensionGroups) {
    for (const std::string& n : exttest_GroupNames(g)) {
      if (n.rfind("wgl", 0) == 0) continue;
      const bool declared = headers.find("APIENTRY " + n + " (") != std::string::npos ||
                            headers.find("APIENTRY " + n + "(") != std::string::npos;
      EXPECT_TRUE(declared) << n;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 482 - 2);
}

TEST(LoadOpenGLExtensionsTest, MissingEntryPointFailsButLoadsTheRest) {
  FakeDriver fake;
  fake.version = "1.3.1";
  fake.extensions = "GL_ARB_multitexture GL_EXT_abgr";
  fake.missing = {"glMultiTexCoord2fARB"};
  ScopedFakeDriver scope(&fake);
  EXPECT_EQ(LoadOpenGLExtensions(), 1);

  EXPECT_EQ(g_glExtensionFlags.version_1_2, 1);
  EXPECT_EQ(g_glExtensionFlags.version_1_3, 1);
  EXPECT_EQ(g_glExtensionFlags.version_1_4, 0);
  for (int i = 0; i < kGLExtensionCount; ++i) {
    const std::string n = kGLExtensionNames[i];
    EXPECT_EQ(g_glExtensionFlags.gl[i], n == "GL_ARB_multitexture" || n == "GL_EXT_abgr" ? 1 : 0) << n;
  }
  // Lookups: the multitexture group, the 1.2 and 1.3 core groups, then the
  // two WGL string queries (absent: no WGL group runs).
  std::vector<std::string> want;
  for (const char* g : {"GL_ARB_multitexture", "GL_VERSION_1_2", "GL_VERSION_1_3"}) {
    const std::vector<std::string> names = exttest_GroupNames(kGLExtensionGroups[exttest_GroupIndex(g)]);
    want.insert(want.end(), names.begin(), names.end());
  }
  want.push_back("wglGetExtensionsStringARB");
  want.push_back("wglGetExtensionsStringEXT");
  EXPECT_EQ(fake.asked, want);
  EXPECT_EQ(fake.asked.size(), 34u + 4u + 46u + 2u);

  // 33 of the 34 pointers are set; the missing one stays null.
  const int offset = exttest_GLOffset("GL_ARB_multitexture");
  int set = 0;
  for (int i = 0; i < 34; ++i) {
    const int group = exttest_GroupIndex("GL_ARB_multitexture");
    const bool isMissing = std::strcmp(kGLExtensionGroups[group].entryPoints[i], "glMultiTexCoord2fARB") == 0;
    EXPECT_EQ(g_glExtensionProcs.gl[offset + i] == nullptr, isMissing) << i;
    set += g_glExtensionProcs.gl[offset + i] != nullptr;
  }
  EXPECT_EQ(set, 33);
  // Nothing outside the loaded groups was touched.
  int total = 0;
  for (GLProc p : g_glExtensionProcs.gl) total += p != nullptr;
  EXPECT_EQ(total, 33 + 4 + 46);
  for (GLProc p : g_glExtensionProcs.wgl) EXPECT_EQ(p, nullptr);
  EXPECT_EQ(g_glExtensionFlags.wglGetExtensionsStringARB, 0);
  EXPECT_EQ(g_glExtensionFlags.wglGetExtensionsStringEXT, 0);
}

TEST(LoadOpenGLExtensionsTest, OutcomesOfWholeLoads) {
  {
    // Everything present: the missing WGL string queries are no failure.
    FakeDriver fake;
    fake.version = "1.2.1";
    fake.extensions = "GL_ARB_multitexture GL_EXT_abgr";
    ScopedFakeDriver scope(&fake);
    EXPECT_EQ(LoadOpenGLExtensions(), 0);
    EXPECT_EQ(g_glExtensionFlags.version_1_3, 0);
    EXPECT_EQ(fake.asked.size(), 34u + 4u + 2u);
  }
  {
    // No context: nothing recorded, no flag touched, no GL lookup.
    FakeDriver fake;
    fake.extensions = "GL_ARB_multitexture";
    ScopedFakeDriver scope(&fake);
    // A flag set before (of an extension without a loader) keeps its value.
    const int shadow = exttest_GLIndex("GL_ARB_shadow");
    g_glExtensionFlags.gl[shadow] = 1;
    EXPECT_EQ(LoadOpenGLExtensions(), 0);
    EXPECT_EQ(g_glExtensionFlags.gl[shadow], 1);
    EXPECT_EQ(g_glExtensionFlags.gl[exttest_GLIndex("GL_ARB_multitexture")], 0);
    EXPECT_EQ(g_glExtensionFlags.version_1_2, 0);
    const std::vector<std::string> want = {"wglGetExtensionsStringARB", "wglGetExtensionsStringEXT"};
    EXPECT_EQ(fake.asked, want);
  }
  {
    // Every extension advertised: the 35 sequenced groups, 473 lookups in
    // table order; GL_NV_evaluators stays unloaded.
    std::string all;
    for (const char* n : kGLExtensionNames) all += std::string(n) + " ";
    FakeDriver fake;
    fake.version = "1.4.0";
    fake.extensions = all.c_str();
    ScopedFakeDriver scope(&fake);
    EXPECT_EQ(LoadOpenGLExtensions(), 0);
    for (int i = 0; i < kGLExtensionCount; ++i) {
      EXPECT_EQ(g_glExtensionFlags.gl[i], 1) << kGLExtensionNames[i];
    }
    EXPECT_EQ(g_glExtensionFlags.version_1_4, 1);
    ASSERT_EQ(fake.asked.size(), 473u + 2u);
    size_t k = 0;
    for (int g = 0; g < kGLGroupCount - 1; ++g) {
      for (const std::string& n : exttest_GroupNames(kGLExtensionGroups[g])) {
        EXPECT_EQ(fake.asked[k++], n);
      }
    }
    const int evaluators = exttest_GLOffset("GL_NV_evaluators");
    for (int i = 0; i < kGLEntryPointCount; ++i) {
      EXPECT_EQ(g_glExtensionProcs.gl[i] == nullptr, i >= evaluators) << i;
    }
    // Its loader on its own does load it.
    InitGL_NV_evaluators();
    EXPECT_NE(g_glExtensionProcs.gl[evaluators + 8], nullptr);
  }
  {
    // A GL lookup failure fails the whole load although the WGL part, which
    // runs last, clears the failure flag for itself.
    FakeDriver fake;
    fake.version = "1.1";
    fake.extensions = "GL_EXT_stencil_two_side";
    fake.missing = {"glActiveStencilFaceEXT"};
    ScopedFakeDriver scope(&fake);
    EXPECT_EQ(LoadOpenGLExtensions(), 1);
    EXPECT_EQ(InitWGLExtensions(nullptr), 0);
  }
}

TEST(LoadOpenGLExtensionsTest, WGLPartFollowsItsStringQueries) {
  {
    // Only the EXT query: its string decides; loaders run in their order.
    FakeDriver fake;
    fake.version = "1.1";
    fake.extensions = "";
    fake.wglStringEXT = reinterpret_cast<GLProc>(exttest_WglStringEXT);
    g_wglExtText = "WGL_ARB_pbuffer WGL_EXT_swap_control WGL_NV_render_depth_texture";
    ScopedFakeDriver scope(&fake);
    EXPECT_EQ(LoadOpenGLExtensions(), 0);
    EXPECT_EQ(g_glExtensionFlags.wglGetExtensionsStringARB, 0);
    EXPECT_EQ(g_glExtensionFlags.wglGetExtensionsStringEXT, 1);
    for (int i = 0; i < kWGLExtensionCount; ++i) {
      const std::string n = kWGLExtensionNames[i];
      const bool on =
          n == "WGL_ARB_pbuffer" || n == "WGL_EXT_swap_control" || n == "WGL_NV_render_depth_texture";
      EXPECT_EQ(g_glExtensionFlags.wgl[i], on ? 1 : 0) << n;
    }
    const std::vector<std::string> want = {
        "wglGetExtensionsStringARB", "wglGetExtensionsStringEXT", "wglSwapIntervalEXT",
        "wglGetSwapIntervalEXT",     "wglCreatePbufferARB",       "wglGetPbufferDCARB",
        "wglReleasePbufferDCARB",    "wglDestroyPbufferARB",      "wglQueryPbufferARB"};
    EXPECT_EQ(fake.asked, want);
    // Swap control is WGL group 1 (slots 2, 3), pbuffer group 4 (slots 10 to 14).
    for (int i = 0; i < kWGLEntryPointCount; ++i) {
      EXPECT_EQ(g_glExtensionProcs.wgl[i] != nullptr, (i >= 2 && i < 4) || (i >= 10 && i < 15)) << i;
    }

    // A missing WGL entry point fails both the WGL part and the whole load.
    fake.missing = {"wglQueryPbufferARB"};
    EXPECT_EQ(InitWGLExtensions(nullptr), 1);
    EXPECT_EQ(LoadOpenGLExtensions(), 1);
  }
  {
    // The ARB query wins when a device context is set; without one the EXT
    // query answers.
    FakeDriver fake;
    fake.wglStringARB = reinterpret_cast<GLProc>(exttest_WglStringARB);
    fake.wglStringEXT = reinterpret_cast<GLProc>(exttest_WglStringEXT);
    g_wglArbText = "WGL_ARB_multisample";
    g_wglExtText = "WGL_ARB_pixel_format";
    ScopedFakeDriver scope(&fake);
    const int multisample = 2;
    const int pixelFormat = 4;
    int token = 0;
    SetExtensionHDC(&token);
    EXPECT_EQ(LoadOpenGLExtensions(), 0);
    EXPECT_EQ(g_wglArbHdc, &token);
    EXPECT_EQ(g_glExtensionFlags.wgl[multisample], 1);
    EXPECT_EQ(g_glExtensionFlags.wgl[pixelFormat], 0);
    EXPECT_EQ(WGLExtensionSupported("WGL_ARB_multisample"), 1);
    EXPECT_EQ(WGLExtensionSupported("WGL_ARB_multisample WGL_ARB_pixel_format"), 0);
    EXPECT_EQ(WGLExtensionSupported(""), 0);

    EXPECT_EQ(InitWGLExtensions(nullptr), 0);
    EXPECT_EQ(g_glExtensionFlags.wgl[multisample], 0);
    EXPECT_EQ(g_glExtensionFlags.wgl[pixelFormat], 1);
    EXPECT_STREQ(kWGLExtensionNames[multisample], "WGL_ARB_multisample");
    EXPECT_STREQ(kWGLExtensionNames[pixelFormat], "WGL_ARB_pixel_format");
  }
}

TEST(LoadOpenGLExtensionsTest, WithoutAContextRecordsNothing) {
  ResetGLExtensionState();
  EXPECT_EQ(LoadOpenGLExtensions(), 0);
  EXPECT_EQ(GLExtensionSupported("GL_ARB_multitexture"), 0);
  for (int f : g_glExtensionFlags.gl) EXPECT_EQ(f, 0);
  for (GLProc p : g_glExtensionProcs.gl) EXPECT_EQ(p, nullptr);
  EXPECT_EQ(g_glExtensionFlags.version_1_2, 0);
}

TEST(LoadOpenGLExtensionsTest, RealDriverLoadsCleanly) {
  platform::OffscreenGLContext gl;
  if (!gl.Create(32, 32)) GTEST_SKIP() << gl.error();
  {
    // The platform lookup: no Windows names, no empty names.
    EXPECT_EQ(platform::GetGLProcAddress("wglCreatePbufferARB"), nullptr);
    EXPECT_EQ(platform::GetGLProcAddress("wglGetExtensionsStringARB"), nullptr);
    EXPECT_EQ(platform::GetGLProcAddress(""), nullptr);
    EXPECT_EQ(platform::GetGLProcAddress(nullptr), nullptr);
    EXPECT_NE(platform::GetGLProcAddress("glActiveTexture"), nullptr);
  }

  ResetGLExtensionState();
  EXPECT_EQ(LoadOpenGLExtensions(), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  ASSERT_NE(version, nullptr);
  ASSERT_NE(extensions, nullptr);
  int major = 0;
  int minor = 0;
  ASSERT_EQ(std::sscanf(version, "%d.%d", &major, &minor), 2) << version;
  const int at = major * 10 + minor;
  EXPECT_EQ(g_glExtensionFlags.version_1_2, at >= 12 ? 1 : 0) << version;
  EXPECT_EQ(g_glExtensionFlags.version_1_3, at >= 13 ? 1 : 0) << version;
  EXPECT_EQ(g_glExtensionFlags.version_1_4, at >= 14 ? 1 : 0) << version;
  for (int i = 0; i < kGLExtensionCount; ++i) {
    EXPECT_EQ(g_glExtensionFlags.gl[i], exttest_PlainWordSearch(extensions, kGLExtensionNames[i]))
        << kGLExtensionNames[i];
  }
  // No WGL on X11: every WGL flag and pointer stays 0.
  for (int f : g_glExtensionFlags.wgl) EXPECT_EQ(f, 0);
  for (GLProc p : g_glExtensionProcs.wgl) EXPECT_EQ(p, nullptr);
  EXPECT_EQ(g_glExtensionFlags.wglGetExtensionsStringARB + g_glExtensionFlags.wglGetExtensionsStringEXT, 0);

  // A loaded entry point is the driver's working function.
  if (g_glExtensionFlags.version_1_3 == 1) {
    const int offset = exttest_GLOffset("GL_VERSION_1_3");
    ASSERT_STREQ(kGLExtensionGroups[exttest_GroupIndex("GL_VERSION_1_3")].entryPoints[0], "glActiveTexture");
    auto activeTexture = reinterpret_cast<void (*)(GLenum)>(g_glExtensionProcs.gl[offset]);
    ASSERT_NE(activeTexture, nullptr);
    activeTexture(GL_TEXTURE0 + 1);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, static_cast<GLint>(GL_TEXTURE0 + 1));
    activeTexture(GL_TEXTURE0);
  }
}
