#pragma once

#include "platform/gl_proc.h"

// Which OpenGL extensions and core versions the driver offers, and the entry
// points of a fixed set of extension groups. LoadOpenGLExtensions() runs once
// with the view's context current; the flags and pointers then stay in the
// globals below. Nothing draws through them: the renderer uses OpenGL 1.1.
//
// The Windows binding's part (WGL) is kept for the same interface: on X11 the
// lookup never finds a "wgl" name, so every WGL flag and pointer stays 0,
// which is not a failure. The memory functions of GL_NV_vertex_array_range
// are looked up under their GLX names (glXAllocateMemoryNV, glXFreeMemoryNV).

using GLProc = platform::GLProc;

// The extension names whose support is recorded, in the order they are checked.
constexpr int kWGLExtensionCount = 9;
constexpr int kGLExtensionCount = 75;
extern const char* const kWGLExtensionNames[kWGLExtensionCount];
extern const char* const kGLExtensionNames[kGLExtensionCount];

// One flag per name: 1 supported (or found), 0 not. All 0 at start.
struct GLExtensionFlags {
  int wgl[kWGLExtensionCount];    // by kWGLExtensionNames index
  int wglGetExtensionsStringARB;  // the lookup of that string query found it
  int wglGetExtensionsStringEXT;
  int gl[kGLExtensionCount];      // by kGLExtensionNames index
  int version_1_2;                // core versions, cumulative
  int version_1_3;
  int version_1_4;
};
extern GLExtensionFlags g_glExtensionFlags;

// An extension group: the entry points looked up together when the extension
// (or core version, for "GL_VERSION_1_2" and "GL_VERSION_1_3") is supported.
struct GLExtensionGroup {
  const char* name;
  const char* const* entryPoints;  // registry names
  int entryPointCount;
};

// The 35 GL groups in load order, then GL_NV_evaluators, which has a loader
// but is never loaded: 36 groups, 482 entry points.
constexpr int kGLGroupCount = 36;
constexpr int kGLEntryPointCount = 482;
extern const GLExtensionGroup kGLExtensionGroups[kGLGroupCount];
// The 6 WGL groups in load order: 19 entry points.
constexpr int kWGLGroupCount = 6;
constexpr int kWGLEntryPointCount = 19;
extern const GLExtensionGroup kWGLExtensionGroups[kWGLGroupCount];

// Every entry point as found, null until its group loads (and when the
// driver lacks it). `gl` and `wgl` hold the groups' entry points one group
// after the other, in the order of the group tables.
struct GLExtensionProcs {
  GLProc wglGetExtensionsStringARB;  // const char* (*)(void* hdc)
  GLProc wglGetExtensionsStringEXT;  // const char* (*)()
  GLProc wgl[kWGLEntryPointCount];
  GLProc gl[kGLEntryPointCount];
};
extern GLExtensionProcs g_glExtensionProcs;

// Finds the driver's extensions and loads the supported groups: GL flags
// (nothing when no context is current), the GL groups in table order, then
// InitWGLExtensions with the extension device context. 0 when every entry
// point of every supported group was found, 1 otherwise; a missing WGL string
// query is no failure.
int LoadOpenGLExtensions();
// The WGL part alone: stores `hdc` as the extension device context, looks up
// the two string queries, sets the WGL flags and loads the WGL groups. 0 when
// each lookup of a supported WGL group found its entry point, else 1.
int InitWGLExtensions(void* hdc);
// Sets the device context handed to wglGetExtensionsStringARB (null at start).
void SetExtensionHDC(void* hdc);

// 1 when `name` is a whole blank-separated word of the driver's GL (WGL)
// extension string, else 0. An empty name, one holding a blank, a null name
// and a missing string give 0.
int GLExtensionSupported(const char* name);
int WGLExtensionSupported(const char* name);
// The entry point `name`, or null; a null result marks the load as failed.
GLProc LoadGLProc(const char* name);

// Sets the core-version flags and the 75 GL flags from the current context.
// Without a context (null version string) no flag is touched.
void InitGLExtensionFlags();
// Sets the 9 WGL flags.
void InitWGLExtensionFlags();

// One loader per group: when the group's flag is 1, looks up each of its entry
// points with LoadGLProc and stores them; otherwise does nothing.
void InitGL_ARB_transpose_matrix();
void InitGL_ARB_multisample();
void InitGL_EXT_compiled_vertex_array();
void InitGL_EXT_secondary_color();
void InitGL_EXT_fog_coord();
void InitGL_NV_vertex_array_range();
void InitGL_EXT_point_parameters();
void InitGL_NV_register_combiners();
void InitGL_EXT_vertex_weighting();
void InitGL_NV_vertex_program();
void InitGL_NV_fence();
void InitGL_NV_register_combiners2();
void InitGL_ATI_pn_triangles();
void InitGL_ARB_point_parameters();
void InitGL_ARB_vertex_blend();
void InitGL_EXT_multi_draw_arrays();
void InitGL_ARB_matrix_palette();
void InitGL_EXT_vertex_shader();
void InitGL_ATI_envmap_bumpmap();
void InitGL_ATI_fragment_shader();
void InitGL_ATI_element_array();
void InitGL_ATI_vertex_streams();
void InitGL_ATI_vertex_array_object();
void InitGL_NV_occlusion_query();
void InitGL_NV_point_sprite();
void InitGL_ARB_window_pos();
void InitGL_ARB_texture_compression();
void InitGL_EXT_draw_range_elements();
void InitGL_EXT_stencil_two_side();
void InitGL_ARB_vertex_program();
void InitGL_EXT_cull_vertex();
void InitGL_ARB_imaging();
void InitGL_ARB_multitexture();
void InitGL_VERSION_1_2();
void InitGL_VERSION_1_3();
void InitGL_NV_evaluators();
void InitWGL_ARB_make_current_read();
void InitWGL_EXT_swap_control();
void InitWGL_ARB_render_texture();
void InitWGL_ARB_pixel_format();
void InitWGL_ARB_pbuffer();
void InitWGL_ARB_buffer_region();

// The logic that needs no context, over given strings.
//
// 1 when `name` is a whole word of `extensions`: it starts the string or
// follows a blank, and a blank or the string's end follows it. 0 for a null
// string or name, an empty name or a name holding a blank.
int ExtensionInString(const char* extensions, const char* name);
// Core versions 1.2, 1.3 and 1.4 as flags from a GL_VERSION text, read from
// its leading "major.minor" (as in "1.3.1" or "4.5 (Compatibility Profile)
// Mesa 22.3.6"): each flag is 1 when the version is at least that one. A null
// text or one not starting with digits, a dot and a digit gives all 0.
struct GLVersionFlags {
  int version_1_2;
  int version_1_3;
  int version_1_4;
};
GLVersionFlags ParseGLVersion(const char* version);

// Where the loader asks: the string query stands for glGetString (called with
// GL_VERSION and GL_EXTENSIONS), the lookup for the entry-point lookup. The
// defaults ask the current context and platform::GetGLProcAddress; null
// restores a default. For tests.
using GLStringQuery = const char* (*)(unsigned int name);
using GLProcLookup = GLProc (*)(const char* name);
void SetGLExtensionQueries(GLStringQuery strings, GLProcLookup lookup);
// Every flag, pointer, the failure flag and the device context back to their
// start values (0 / null). For tests.
void ResetGLExtensionState();
