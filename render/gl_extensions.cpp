#include "render/gl_extensions.h"

#include <GL/gl.h>

#include <cstring>

const char* const kWGLExtensionNames[kWGLExtensionCount] = {
    "WGL_ARB_buffer_region", "WGL_ARB_make_current_read",   "WGL_ARB_multisample",
    "WGL_ARB_pbuffer",       "WGL_ARB_pixel_format",        "WGL_ARB_render_texture",
    "WGL_EXT_swap_control",  "WGL_NV_render_depth_texture", "WGL_NV_render_texture_rectangle",
};

const char* const kGLExtensionNames[kGLExtensionCount] = {
    // ARB
    "GL_ARB_depth_texture", "GL_ARB_imaging", "GL_ARB_matrix_palette", "GL_ARB_multisample",
    "GL_ARB_multitexture", "GL_ARB_point_parameters", "GL_ARB_shadow", "GL_ARB_shadow_ambient",
    "GL_ARB_texture_border_clamp", "GL_ARB_texture_compression", "GL_ARB_texture_cube_map",
    "GL_ARB_texture_env_add", "GL_ARB_texture_env_combine", "GL_ARB_texture_env_crossbar",
    "GL_ARB_texture_env_dot3", "GL_ARB_texture_mirrored_repeat", "GL_ARB_transpose_matrix",
    "GL_ARB_vertex_blend", "GL_ARB_vertex_program", "GL_ARB_window_pos",
    // EXT
    "GL_EXT_abgr", "GL_EXT_bgra", "GL_EXT_blend_function_separate", "GL_EXT_compiled_vertex_array",
    "GL_EXT_cull_vertex", "GL_EXT_draw_range_elements", "GL_EXT_fog_coord",
    "GL_EXT_multi_draw_arrays", "GL_EXT_point_parameters", "GL_EXT_secondary_color",
    "GL_EXT_separate_specular_color", "GL_EXT_shadow_funcs", "GL_EXT_stencil_two_side",
    "GL_EXT_stencil_wrap", "GL_EXT_texture_compression_s3tc", "GL_EXT_texture_filter_anisotropic",
    "GL_EXT_texture_lod_bias", "GL_EXT_vertex_shader", "GL_EXT_vertex_weighting",
    // ATI
    "GL_ATI_element_array", "GL_ATI_envmap_bumpmap", "GL_ATI_fragment_shader",
    "GL_ATI_pn_triangles", "GL_ATI_point_cull_mode", "GL_ATI_texture_mirror_once",
    "GL_ATI_vertex_array_object", "GL_ATI_vertex_streams",
    // ATIX
    "GL_ATIX_point_sprites", "GL_ATIX_texture_env_route",
    // HP
    "GL_HP_occlusion_test",
    // NV
    "GL_NV_blend_square", "GL_NV_copy_depth_to_color", "GL_NV_depth_clamp", "GL_NV_evaluators",
    "GL_NV_fence", "GL_NV_fog_distance", "GL_NV_light_max_exponent", "GL_NV_occlusion_query",
    "GL_NV_packed_depth_stencil", "GL_NV_point_sprite", "GL_NV_register_combiners",
    "GL_NV_register_combiners2", "GL_NV_texgen_reflection", "GL_NV_texture_env_combine4",
    "GL_NV_texture_rectangle", "GL_NV_texture_shader", "GL_NV_texture_shader2",
    "GL_NV_texture_shader3", "GL_NV_vertex_array_range", "GL_NV_vertex_array_range2",
    "GL_NV_vertex_program", "GL_NV_vertex_program1_1",
    // SGIS, SGIX
    "GL_SGIS_generate_mipmap", "GL_SGIX_depth_texture", "GL_SGIX_shadow",
};

namespace {

// Entry points of each group, under their registry names.

constexpr const char* kProcsARB_transpose_matrix[] = {
    "glLoadTransposeMatrixfARB", "glLoadTransposeMatrixdARB", "glMultTransposeMatrixfARB",
    "glMultTransposeMatrixdARB"};

constexpr const char* kProcsARB_multisample[] = {"glSampleCoverageARB"};

constexpr const char* kProcsEXT_compiled_vertex_array[] = {"glLockArraysEXT", "glUnlockArraysEXT"};

constexpr const char* kProcsEXT_secondary_color[] = {
    "glSecondaryColor3bEXT",  "glSecondaryColor3bvEXT", "glSecondaryColor3dEXT",
    "glSecondaryColor3dvEXT", "glSecondaryColor3fEXT",  "glSecondaryColor3fvEXT",
    "glSecondaryColor3iEXT",  "glSecondaryColor3ivEXT", "glSecondaryColor3sEXT",
    "glSecondaryColor3svEXT", "glSecondaryColor3ubEXT", "glSecondaryColor3ubvEXT",
    "glSecondaryColor3uiEXT", "glSecondaryColor3uivEXT", "glSecondaryColor3usEXT",
    "glSecondaryColor3usvEXT", "glSecondaryColorPointerEXT"};

constexpr const char* kProcsEXT_fog_coord[] = {"glFogCoordfEXT", "glFogCoordfvEXT", "glFogCoorddEXT",
                                               "glFogCoorddvEXT", "glFogCoordPointerEXT"};

constexpr const char* kProcsNV_vertex_array_range[] = {
    "glFlushVertexArrayRangeNV", "glVertexArrayRangeNV", "glXAllocateMemoryNV", "glXFreeMemoryNV"};

constexpr const char* kProcsEXT_point_parameters[] = {"glPointParameterfEXT", "glPointParameterfvEXT"};

constexpr const char* kProcsNV_register_combiners[] = {
    "glCombinerParameterfvNV",
    "glCombinerParameterfNV",
    "glCombinerParameterivNV",
    "glCombinerParameteriNV",
    "glCombinerInputNV",
    "glCombinerOutputNV",
    "glFinalCombinerInputNV",
    "glGetCombinerInputParameterfvNV",
    "glGetCombinerInputParameterivNV",
    "glGetCombinerOutputParameterfvNV",
    "glGetCombinerOutputParameterivNV",
    "glGetFinalCombinerInputParameterfvNV",
    "glGetFinalCombinerInputParameterivNV"};

constexpr const char* kProcsEXT_vertex_weighting[] = {"glVertexWeightfEXT", "glVertexWeightfvEXT",
                                                      "glVertexWeightPointerEXT"};

constexpr const char* kProcsNV_vertex_program[] = {
    "glBindProgramNV",          "glAreProgramsResidentNV",    "glDeleteProgramsNV",
    "glExecuteProgramNV",       "glGenProgramsNV",            "glGetProgramParameterdvNV",
    "glGetProgramParameterfvNV", "glGetProgramivNV",          "glGetProgramStringNV",
    "glGetTrackMatrixivNV",     "glGetVertexAttribdvNV",      "glGetVertexAttribfvNV",
    "glGetVertexAttribivNV",    "glGetVertexAttribPointervNV", "glIsProgramNV",
    "glLoadProgramNV",          "glProgramParameter4dNV",     "glProgramParameter4dvNV",
    "glProgramParameter4fNV",   "glProgramParameter4fvNV",    "glProgramParameters4dvNV",
    "glProgramParameters4fvNV", "glRequestResidentProgramsNV", "glTrackMatrixNV",
    "glVertexAttribPointerNV",  "glVertexAttrib1dNV",         "glVertexAttrib1dvNV",
    "glVertexAttrib1fNV",       "glVertexAttrib1fvNV",        "glVertexAttrib1sNV",
    "glVertexAttrib1svNV",      "glVertexAttrib2dNV",         "glVertexAttrib2dvNV",
    "glVertexAttrib2fNV",       "glVertexAttrib2fvNV",        "glVertexAttrib2sNV",
    "glVertexAttrib2svNV",      "glVertexAttrib3dNV",         "glVertexAttrib3dvNV",
    "glVertexAttrib3fNV",       "glVertexAttrib3fvNV",        "glVertexAttrib3sNV",
    "glVertexAttrib3svNV",      "glVertexAttrib4dNV",         "glVertexAttrib4dvNV",
    "glVertexAttrib4fNV",       "glVertexAttrib4fvNV",        "glVertexAttrib4sNV",
    "glVertexAttrib4svNV",      "glVertexAttrib4ubNV",        "glVertexAttrib4ubvNV",
    "glVertexAttribs1dvNV",     "glVertexAttribs1fvNV",       "glVertexAttribs1svNV",
    "glVertexAttribs2dvNV",     "glVertexAttribs2fvNV",       "glVertexAttribs2svNV",
    "glVertexAttribs3dvNV",     "glVertexAttribs3fvNV",       "glVertexAttribs3svNV",
    "glVertexAttribs4dvNV",     "glVertexAttribs4fvNV",       "glVertexAttribs4svNV",
    "glVertexAttribs4ubvNV"};

constexpr const char* kProcsNV_fence[] = {"glGenFencesNV", "glDeleteFencesNV", "glSetFenceNV",
                                          "glTestFenceNV", "glFinishFenceNV",  "glIsFenceNV",
                                          "glGetFenceivNV"};

constexpr const char* kProcsNV_register_combiners2[] = {"glCombinerStageParameterfvNV",
                                                        "glGetCombinerStageParameterfvNV"};

constexpr const char* kProcsATI_pn_triangles[] = {"glPNTrianglesiATI", "glPNTrianglesfATI"};

constexpr const char* kProcsARB_point_parameters[] = {"glPointParameterfARB", "glPointParameterfvARB"};

constexpr const char* kProcsARB_vertex_blend[] = {
    "glWeightbvARB",  "glWeightsvARB",   "glWeightivARB",  "glWeightfvARB",      "glWeightdvARB",
    "glWeightubvARB", "glWeightusvARB",  "glWeightuivARB", "glWeightPointerARB", "glVertexBlendARB"};

constexpr const char* kProcsEXT_multi_draw_arrays[] = {"glMultiDrawArraysEXT", "glMultiDrawElementsEXT"};

constexpr const char* kProcsARB_matrix_palette[] = {"glCurrentPaletteMatrixARB", "glMatrixIndexubvARB",
                                                    "glMatrixIndexusvARB", "glMatrixIndexuivARB",
                                                    "glMatrixIndexPointerARB"};

constexpr const char* kProcsEXT_vertex_shader[] = {
    "glBeginVertexShaderEXT",        "glEndVertexShaderEXT",
    "glBindVertexShaderEXT",         "glGenVertexShadersEXT",
    "glDeleteVertexShaderEXT",       "glShaderOp1EXT",
    "glShaderOp2EXT",                "glShaderOp3EXT",
    "glSwizzleEXT",                  "glWriteMaskEXT",
    "glInsertComponentEXT",          "glExtractComponentEXT",
    "glGenSymbolsEXT",               "glSetInvariantEXT",
    "glSetLocalConstantEXT",         "glVariantbvEXT",
    "glVariantsvEXT",                "glVariantivEXT",
    "glVariantfvEXT",                "glVariantdvEXT",
    "glVariantubvEXT",               "glVariantusvEXT",
    "glVariantuivEXT",               "glVariantPointerEXT",
    "glEnableVariantClientStateEXT", "glDisableVariantClientStateEXT",
    "glBindLightParameterEXT",       "glBindMaterialParameterEXT",
    "glBindTexGenParameterEXT",      "glBindTextureUnitParameterEXT",
    "glBindParameterEXT",            "glIsVariantEnabledEXT",
    "glGetVariantBooleanvEXT",       "glGetVariantIntegervEXT",
    "glGetVariantFloatvEXT",         "glGetVariantPointervEXT",
    "glGetInvariantBooleanvEXT",     "glGetInvariantIntegervEXT",
    "glGetInvariantFloatvEXT",       "glGetLocalConstantBooleanvEXT",
    "glGetLocalConstantIntegervEXT", "glGetLocalConstantFloatvEXT"};

constexpr const char* kProcsATI_envmap_bumpmap[] = {"glTexBumpParameterivATI", "glTexBumpParameterfvATI",
                                                    "glGetTexBumpParameterivATI",
                                                    "glGetTexBumpParameterfvATI"};

constexpr const char* kProcsATI_fragment_shader[] = {
    "glGenFragmentShadersATI",  "glBindFragmentShaderATI", "glDeleteFragmentShaderATI",
    "glBeginFragmentShaderATI", "glEndFragmentShaderATI",  "glPassTexCoordATI",
    "glSampleMapATI",           "glColorFragmentOp1ATI",   "glColorFragmentOp2ATI",
    "glColorFragmentOp3ATI",    "glAlphaFragmentOp1ATI",   "glAlphaFragmentOp2ATI",
    "glAlphaFragmentOp3ATI",    "glSetFragmentShaderConstantATI"};

constexpr const char* kProcsATI_element_array[] = {"glElementPointerATI", "glDrawElementArrayATI",
                                                   "glDrawRangeElementArrayATI"};

// The stream state calls, the positions of 2 to 4 components, the normals.
constexpr const char* kProcsATI_vertex_streams[] = {
    "glClientActiveVertexStreamATI", "glVertexBlendEnviATI",  "glVertexBlendEnvfATI",
    "glVertexStream2sATI",           "glVertexStream2svATI",  "glVertexStream2iATI",
    "glVertexStream2ivATI",          "glVertexStream2fATI",   "glVertexStream2fvATI",
    "glVertexStream2dATI",           "glVertexStream2dvATI",  "glVertexStream3sATI",
    "glVertexStream3svATI",          "glVertexStream3iATI",   "glVertexStream3ivATI",
    "glVertexStream3fATI",           "glVertexStream3fvATI",  "glVertexStream3dATI",
    "glVertexStream3dvATI",          "glVertexStream4sATI",   "glVertexStream4svATI",
    "glVertexStream4iATI",           "glVertexStream4ivATI",  "glVertexStream4fATI",
    "glVertexStream4fvATI",          "glVertexStream4dATI",   "glVertexStream4dvATI",
    "glNormalStream3bATI",           "glNormalStream3bvATI",  "glNormalStream3sATI",
    "glNormalStream3svATI",          "glNormalStream3iATI",   "glNormalStream3ivATI",
    "glNormalStream3fATI",           "glNormalStream3fvATI",  "glNormalStream3dATI",
    "glNormalStream3dvATI"};

constexpr const char* kProcsATI_vertex_array_object[] = {
    "glNewObjectBufferATI",    "glIsObjectBufferATI",        "glUpdateObjectBufferATI",
    "glGetObjectBufferfvATI",  "glGetObjectBufferivATI",     "glFreeObjectBufferATI",
    "glArrayObjectATI",        "glGetArrayObjectfvATI",      "glGetArrayObjectivATI",
    "glVariantArrayObjectATI", "glGetVariantArrayObjectfvATI", "glGetVariantArrayObjectivATI"};

constexpr const char* kProcsNV_occlusion_query[] = {
    "glGenOcclusionQueriesNV", "glDeleteOcclusionQueriesNV", "glIsOcclusionQueryNV",
    "glBeginOcclusionQueryNV", "glEndOcclusionQueryNV",      "glGetOcclusionQueryivNV",
    "glGetOcclusionQueryuivNV"};

constexpr const char* kProcsNV_point_sprite[] = {"glPointParameteriNV", "glPointParameterivNV"};

constexpr const char* kProcsARB_window_pos[] = {
    "glWindowPos2dARB", "glWindowPos2dvARB", "glWindowPos2fARB", "glWindowPos2fvARB",
    "glWindowPos2iARB", "glWindowPos2ivARB", "glWindowPos2sARB", "glWindowPos2svARB",
    "glWindowPos3dARB", "glWindowPos3dvARB", "glWindowPos3fARB", "glWindowPos3fvARB",
    "glWindowPos3iARB", "glWindowPos3ivARB", "glWindowPos3sARB", "glWindowPos3svARB"};

constexpr const char* kProcsARB_texture_compression[] = {
    "glCompressedTexImage3DARB",    "glCompressedTexImage2DARB",    "glCompressedTexImage1DARB",
    "glCompressedTexSubImage3DARB", "glCompressedTexSubImage2DARB", "glCompressedTexSubImage1DARB",
    "glGetCompressedTexImageARB"};

constexpr const char* kProcsEXT_draw_range_elements[] = {"glDrawRangeElementsEXT"};

constexpr const char* kProcsEXT_stencil_two_side[] = {"glActiveStencilFaceEXT"};

constexpr const char* kProcsARB_vertex_program[] = {
    "glVertexAttrib1sARB",
    "glVertexAttrib1svARB",
    "glVertexAttrib1fARB",
    "glVertexAttrib1fvARB",
    "glVertexAttrib1dARB",
    "glVertexAttrib1dvARB",
    "glVertexAttrib2sARB",
    "glVertexAttrib2svARB",
    "glVertexAttrib2fARB",
    "glVertexAttrib2fvARB",
    "glVertexAttrib2dARB",
    "glVertexAttrib2dvARB",
    "glVertexAttrib3sARB",
    "glVertexAttrib3svARB",
    "glVertexAttrib3fARB",
    "glVertexAttrib3fvARB",
    "glVertexAttrib3dARB",
    "glVertexAttrib3dvARB",
    "glVertexAttrib4sARB",
    "glVertexAttrib4svARB",
    "glVertexAttrib4fARB",
    "glVertexAttrib4fvARB",
    "glVertexAttrib4dARB",
    "glVertexAttrib4dvARB",
    "glVertexAttrib4bvARB",
    "glVertexAttrib4ivARB",
    "glVertexAttrib4ubvARB",
    "glVertexAttrib4usvARB",
    "glVertexAttrib4uivARB",
    "glVertexAttrib4NbvARB",
    "glVertexAttrib4NsvARB",
    "glVertexAttrib4NivARB",
    "glVertexAttrib4NubARB",
    "glVertexAttrib4NubvARB",
    "glVertexAttrib4NusvARB",
    "glVertexAttrib4NuivARB",
    "glVertexAttribPointerARB",
    "glEnableVertexAttribArrayARB",
    "glDisableVertexAttribArrayARB",
    "glProgramStringARB",
    "glBindProgramARB",
    "glDeleteProgramsARB",
    "glGenProgramsARB",
    "glProgramEnvParameter4dARB",
    "glProgramEnvParameter4dvARB",
    "glProgramEnvParameter4fARB",
    "glProgramEnvParameter4fvARB",
    "glProgramLocalParameter4dARB",
    "glProgramLocalParameter4dvARB",
    "glProgramLocalParameter4fARB",
    "glProgramLocalParameter4fvARB",
    "glGetProgramEnvParameterdvARB",
    "glGetProgramEnvParameterfvARB",
    "glGetProgramLocalParameterdvARB",
    "glGetProgramLocalParameterfvARB",
    "glGetProgramivARB",
    "glGetProgramStringARB",
    "glGetVertexAttribdvARB",
    "glGetVertexAttribfvARB",
    "glGetVertexAttribivARB",
    "glGetVertexAttribPointervARB",
    "glIsProgramARB"};

constexpr const char* kProcsEXT_cull_vertex[] = {"glCullParameterfvEXT", "glCullParameterdvEXT"};

constexpr const char* kProcsARB_imaging[] = {
    "glBlendColor",
    "glBlendEquation",
    "glColorTable",
    "glColorTableParameterfv",
    "glColorTableParameteriv",
    "glCopyColorTable",
    "glGetColorTable",
    "glGetColorTableParameterfv",
    "glGetColorTableParameteriv",
    "glColorSubTable",
    "glCopyColorSubTable",
    "glConvolutionFilter1D",
    "glConvolutionFilter2D",
    "glConvolutionParameterf",
    "glConvolutionParameterfv",
    "glConvolutionParameteri",
    "glConvolutionParameteriv",
    "glCopyConvolutionFilter1D",
    "glCopyConvolutionFilter2D",
    "glGetConvolutionFilter",
    "glGetConvolutionParameterfv",
    "glGetConvolutionParameteriv",
    "glGetSeparableFilter",
    "glSeparableFilter2D",
    "glGetHistogram",
    "glGetHistogramParameterfv",
    "glGetHistogramParameteriv",
    "glGetMinmax",
    "glGetMinmaxParameterfv",
    "glGetMinmaxParameteriv",
    "glHistogram",
    "glMinmax",
    "glResetHistogram",
    "glResetMinmax"};

constexpr const char* kProcsARB_multitexture[] = {
    "glActiveTextureARB",    "glClientActiveTextureARB", "glMultiTexCoord1dARB",
    "glMultiTexCoord1dvARB", "glMultiTexCoord1fARB",     "glMultiTexCoord1fvARB",
    "glMultiTexCoord1iARB",  "glMultiTexCoord1ivARB",    "glMultiTexCoord1sARB",
    "glMultiTexCoord1svARB", "glMultiTexCoord2dARB",     "glMultiTexCoord2dvARB",
    "glMultiTexCoord2fARB",  "glMultiTexCoord2fvARB",    "glMultiTexCoord2iARB",
    "glMultiTexCoord2ivARB", "glMultiTexCoord2sARB",     "glMultiTexCoord2svARB",
    "glMultiTexCoord3dARB",  "glMultiTexCoord3dvARB",    "glMultiTexCoord3fARB",
    "glMultiTexCoord3fvARB", "glMultiTexCoord3iARB",     "glMultiTexCoord3ivARB",
    "glMultiTexCoord3sARB",  "glMultiTexCoord3svARB",    "glMultiTexCoord4dARB",
    "glMultiTexCoord4dvARB", "glMultiTexCoord4fARB",     "glMultiTexCoord4fvARB",
    "glMultiTexCoord4iARB",  "glMultiTexCoord4ivARB",    "glMultiTexCoord4sARB",
    "glMultiTexCoord4svARB"};

constexpr const char* kProcsVERSION_1_2[] = {"glTexImage3D", "glTexSubImage3D", "glCopyTexSubImage3D",
                                             "glDrawRangeElements"};

constexpr const char* kProcsVERSION_1_3[] = {
    "glActiveTexture",        "glClientActiveTexture",     "glMultiTexCoord1d",
    "glMultiTexCoord1dv",     "glMultiTexCoord1f",         "glMultiTexCoord1fv",
    "glMultiTexCoord1i",      "glMultiTexCoord1iv",        "glMultiTexCoord1s",
    "glMultiTexCoord1sv",     "glMultiTexCoord2d",         "glMultiTexCoord2dv",
    "glMultiTexCoord2f",      "glMultiTexCoord2fv",        "glMultiTexCoord2i",
    "glMultiTexCoord2iv",     "glMultiTexCoord2s",         "glMultiTexCoord2sv",
    "glMultiTexCoord3d",      "glMultiTexCoord3dv",        "glMultiTexCoord3f",
    "glMultiTexCoord3fv",     "glMultiTexCoord3i",         "glMultiTexCoord3iv",
    "glMultiTexCoord3s",      "glMultiTexCoord3sv",        "glMultiTexCoord4d",
    "glMultiTexCoord4dv",     "glMultiTexCoord4f",         "glMultiTexCoord4fv",
    "glMultiTexCoord4i",      "glMultiTexCoord4iv",        "glMultiTexCoord4s",
    "glMultiTexCoord4sv",     "glLoadTransposeMatrixf",    "glLoadTransposeMatrixd",
    "glMultTransposeMatrixf", "glMultTransposeMatrixd",    "glCompressedTexImage3D",
    "glCompressedTexImage2D", "glCompressedTexImage1D",    "glCompressedTexSubImage3D",
    "glCompressedTexSubImage2D", "glCompressedTexSubImage1D", "glGetCompressedTexImage",
    "glSampleCoverage"};

constexpr const char* kProcsNV_evaluators[] = {
    "glMapControlPointsNV",        "glMapParameterivNV",         "glMapParameterfvNV",
    "glGetMapControlPointsNV",     "glGetMapParameterivNV",      "glGetMapParameterfvNV",
    "glGetMapAttribParameterivNV", "glGetMapAttribParameterfvNV", "glEvalMapsNV"};

constexpr const char* kProcsWGL_ARB_make_current_read[] = {"wglMakeContextCurrentARB",
                                                           "wglGetCurrentReadDCARB"};
constexpr const char* kProcsWGL_EXT_swap_control[] = {"wglSwapIntervalEXT", "wglGetSwapIntervalEXT"};
constexpr const char* kProcsWGL_ARB_render_texture[] = {"wglBindTexImageARB", "wglReleaseTexImageARB",
                                                        "wglSetPbufferAttribARB"};
constexpr const char* kProcsWGL_ARB_pixel_format[] = {
    "wglGetPixelFormatAttribivARB", "wglGetPixelFormatAttribfvARB", "wglChoosePixelFormatARB"};
constexpr const char* kProcsWGL_ARB_pbuffer[] = {"wglCreatePbufferARB", "wglGetPbufferDCARB",
                                                 "wglReleasePbufferDCARB", "wglDestroyPbufferARB",
                                                 "wglQueryPbufferARB"};
constexpr const char* kProcsWGL_ARB_buffer_region[] = {
    "wglCreateBufferRegionARB", "wglDeleteBufferRegionARB", "wglSaveBufferRegionARB",
    "wglRestoreBufferRegionARB"};

template <size_t N>
constexpr GLExtensionGroup ext_Group(const char* name, const char* const (&procs)[N]) {
  return {name, procs, static_cast<int>(N)};
}

}  // namespace

constexpr GLExtensionGroup kGLExtensionGroups[kGLGroupCount] = {
    ext_Group("GL_ARB_transpose_matrix", kProcsARB_transpose_matrix),
    ext_Group("GL_ARB_multisample", kProcsARB_multisample),
    ext_Group("GL_EXT_compiled_vertex_array", kProcsEXT_compiled_vertex_array),
    ext_Group("GL_EXT_secondary_color", kProcsEXT_secondary_color),
    ext_Group("GL_EXT_fog_coord", kProcsEXT_fog_coord),
    ext_Group("GL_NV_vertex_array_range", kProcsNV_vertex_array_range),
    ext_Group("GL_EXT_point_parameters", kProcsEXT_point_parameters),
    ext_Group("GL_NV_register_combiners", kProcsNV_register_combiners),
    ext_Group("GL_EXT_vertex_weighting", kProcsEXT_vertex_weighting),
    ext_Group("GL_NV_vertex_program", kProcsNV_vertex_program),
    ext_Group("GL_NV_fence", kProcsNV_fence),
    ext_Group("GL_NV_register_combiners2", kProcsNV_register_combiners2),
    ext_Group("GL_ATI_pn_triangles", kProcsATI_pn_triangles),
    ext_Group("GL_ARB_point_parameters", kProcsARB_point_parameters),
    ext_Group("GL_ARB_vertex_blend", kProcsARB_vertex_blend),
    ext_Group("GL_EXT_multi_draw_arrays", kProcsEXT_multi_draw_arrays),
    ext_Group("GL_ARB_matrix_palette", kProcsARB_matrix_palette),
    ext_Group("GL_EXT_vertex_shader", kProcsEXT_vertex_shader),
    ext_Group("GL_ATI_envmap_bumpmap", kProcsATI_envmap_bumpmap),
    ext_Group("GL_ATI_fragment_shader", kProcsATI_fragment_shader),
    ext_Group("GL_ATI_element_array", kProcsATI_element_array),
    ext_Group("GL_ATI_vertex_streams", kProcsATI_vertex_streams),
    ext_Group("GL_ATI_vertex_array_object", kProcsATI_vertex_array_object),
    ext_Group("GL_NV_occlusion_query", kProcsNV_occlusion_query),
    ext_Group("GL_NV_point_sprite", kProcsNV_point_sprite),
    ext_Group("GL_ARB_window_pos", kProcsARB_window_pos),
    ext_Group("GL_ARB_texture_compression", kProcsARB_texture_compression),
    ext_Group("GL_EXT_draw_range_elements", kProcsEXT_draw_range_elements),
    ext_Group("GL_EXT_stencil_two_side", kProcsEXT_stencil_two_side),
    ext_Group("GL_ARB_vertex_program", kProcsARB_vertex_program),
    ext_Group("GL_EXT_cull_vertex", kProcsEXT_cull_vertex),
    ext_Group("GL_ARB_imaging", kProcsARB_imaging),
    ext_Group("GL_ARB_multitexture", kProcsARB_multitexture),
    ext_Group("GL_VERSION_1_2", kProcsVERSION_1_2),
    ext_Group("GL_VERSION_1_3", kProcsVERSION_1_3),
    ext_Group("GL_NV_evaluators", kProcsNV_evaluators),
};

constexpr GLExtensionGroup kWGLExtensionGroups[kWGLGroupCount] = {
    ext_Group("WGL_ARB_make_current_read", kProcsWGL_ARB_make_current_read),
    ext_Group("WGL_EXT_swap_control", kProcsWGL_EXT_swap_control),
    ext_Group("WGL_ARB_render_texture", kProcsWGL_ARB_render_texture),
    ext_Group("WGL_ARB_pixel_format", kProcsWGL_ARB_pixel_format),
    ext_Group("WGL_ARB_pbuffer", kProcsWGL_ARB_pbuffer),
    ext_Group("WGL_ARB_buffer_region", kProcsWGL_ARB_buffer_region),
};

GLExtensionFlags g_glExtensionFlags = {};
GLExtensionProcs g_glExtensionProcs = {};

namespace {

constexpr int ext_SumCounts(const GLExtensionGroup* groups, int count) {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += groups[i].entryPointCount;
  return sum;
}
static_assert(ext_SumCounts(kGLExtensionGroups, kGLGroupCount) == kGLEntryPointCount,
              "the GL groups fill the GL entry-point table");
static_assert(ext_SumCounts(kWGLExtensionGroups, kWGLGroupCount) == kWGLEntryPointCount,
              "the WGL groups fill the WGL entry-point table");

// Set by any lookup that finds nothing.
int ext_failed = 0;
// Handed to wglGetExtensionsStringARB.
void* ext_hdc = nullptr;

const char* ext_DefaultStrings(unsigned int name) {
  if (!platform::HasCurrentGLContext()) return nullptr;
  return reinterpret_cast<const char*>(glGetString(name));
}

GLStringQuery ext_strings = ext_DefaultStrings;
GLProcLookup ext_lookup = platform::GetGLProcAddress;

int ext_NameIndex(const char* const* names, int count, const char* name) {
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(names[i], name) == 0) return i;
  }
  return -1;
}

// The flag that guards a group: its extension's, or a core version's.
int ext_GroupFlag(const char* group) {
  if (std::strcmp(group, "GL_VERSION_1_2") == 0) return g_glExtensionFlags.version_1_2;
  if (std::strcmp(group, "GL_VERSION_1_3") == 0) return g_glExtensionFlags.version_1_3;
  int i = ext_NameIndex(kGLExtensionNames, kGLExtensionCount, group);
  if (i >= 0) return g_glExtensionFlags.gl[i];
  i = ext_NameIndex(kWGLExtensionNames, kWGLExtensionCount, group);
  return i >= 0 ? g_glExtensionFlags.wgl[i] : 0;
}

void ext_LoadGroup(const GLExtensionGroup* groups, int index, GLProc* table) {
  const GLExtensionGroup& group = groups[index];
  if (ext_GroupFlag(group.name) != 1) return;
  GLProc* slot = table + ext_SumCounts(groups, index);
  for (int i = 0; i < group.entryPointCount; ++i) slot[i] = LoadGLProc(group.entryPoints[i]);
}

void ext_LoadGL(int index) { ext_LoadGroup(kGLExtensionGroups, index, g_glExtensionProcs.gl); }
void ext_LoadWGL(int index) { ext_LoadGroup(kWGLExtensionGroups, index, g_glExtensionProcs.wgl); }

const char* ext_WGLExtensionString() {
  if (g_glExtensionFlags.wglGetExtensionsStringARB && ext_hdc != nullptr) {
    auto query = reinterpret_cast<const char* (*)(void*)>(g_glExtensionProcs.wglGetExtensionsStringARB);
    return query(ext_hdc);
  }
  if (g_glExtensionFlags.wglGetExtensionsStringEXT) {
    auto query = reinterpret_cast<const char* (*)()>(g_glExtensionProcs.wglGetExtensionsStringEXT);
    return query();
  }
  return nullptr;
}

}  // namespace

int ExtensionInString(const char* extensions, const char* name) {
  if (extensions == nullptr || name == nullptr || name[0] == '\0') return 0;
  if (std::strchr(name, ' ') != nullptr) return 0;
  const size_t length = std::strlen(name);
  const char* start = extensions;
  for (;;) {
    const char* where = std::strstr(start, name);
    if (where == nullptr) return 0;
    const char* end = where + length;
    // A word begins the whole string or follows a blank, never merely where
    // the last search stopped (that would accept "GL_XGL_X" for "GL_X").
    if ((where == extensions || where[-1] == ' ') && (*end == ' ' || *end == '\0')) return 1;
    start = end;
  }
}

GLVersionFlags ParseGLVersion(const char* version) {
  GLVersionFlags flags = {0, 0, 0};
  if (version == nullptr) return flags;
  const char* p = version;
  if (*p < '0' || *p > '9') return flags;
  long major = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (major < 1000) major = major * 10 + (*p - '0');
  }
  if (p[0] != '.' || p[1] < '0' || p[1] > '9') return flags;
  long minor = 0;
  for (++p; *p >= '0' && *p <= '9'; ++p) {
    if (minor < 1000) minor = minor * 10 + (*p - '0');
  }
  // Versions are cumulative: a 4.5 driver offers everything of 1.4.
  const auto atLeast = [major, minor](long wantMajor, long wantMinor) {
    return major > wantMajor || (major == wantMajor && minor >= wantMinor) ? 1 : 0;
  };
  flags.version_1_2 = atLeast(1, 2);
  flags.version_1_3 = atLeast(1, 3);
  flags.version_1_4 = atLeast(1, 4);
  return flags;
}

void SetGLExtensionQueries(GLStringQuery strings, GLProcLookup lookup) {
  ext_strings = strings != nullptr ? strings : ext_DefaultStrings;
  ext_lookup = lookup != nullptr ? lookup : platform::GetGLProcAddress;
}

void ResetGLExtensionState() {
  g_glExtensionFlags = GLExtensionFlags{};
  g_glExtensionProcs = GLExtensionProcs{};
  ext_failed = 0;
  ext_hdc = nullptr;
}

GLProc LoadGLProc(const char* name) {
  const GLProc p = ext_lookup(name);
  if (p == nullptr) ext_failed = 1;
  return p;
}

int GLExtensionSupported(const char* name) { return ExtensionInString(ext_strings(GL_EXTENSIONS), name); }

int WGLExtensionSupported(const char* name) {
  // Rule out bad names before asking the driver for its string.
  if (name == nullptr || name[0] == '\0' || std::strchr(name, ' ') != nullptr) return 0;
  return ExtensionInString(ext_WGLExtensionString(), name);
}

void SetExtensionHDC(void* hdc) { ext_hdc = hdc; }

void InitGLExtensionFlags() {
  const char* version = ext_strings(GL_VERSION);
  if (version == nullptr) return;
  const GLVersionFlags versions = ParseGLVersion(version);
  g_glExtensionFlags.version_1_2 = versions.version_1_2;
  g_glExtensionFlags.version_1_3 = versions.version_1_3;
  g_glExtensionFlags.version_1_4 = versions.version_1_4;
  for (int i = 0; i < kGLExtensionCount; ++i) {
    g_glExtensionFlags.gl[i] = GLExtensionSupported(kGLExtensionNames[i]);
  }
}

void InitWGLExtensionFlags() {
  for (int i = 0; i < kWGLExtensionCount; ++i) {
    g_glExtensionFlags.wgl[i] = WGLExtensionSupported(kWGLExtensionNames[i]);
  }
}

void InitGL_ARB_transpose_matrix() { ext_LoadGL(0); }
void InitGL_ARB_multisample() { ext_LoadGL(1); }
void InitGL_EXT_compiled_vertex_array() { ext_LoadGL(2); }
void InitGL_EXT_secondary_color() { ext_LoadGL(3); }
void InitGL_EXT_fog_coord() { ext_LoadGL(4); }
void InitGL_NV_vertex_array_range() { ext_LoadGL(5); }
void InitGL_EXT_point_parameters() { ext_LoadGL(6); }
void InitGL_NV_register_combiners() { ext_LoadGL(7); }
void InitGL_EXT_vertex_weighting() { ext_LoadGL(8); }
void InitGL_NV_vertex_program() { ext_LoadGL(9); }
void InitGL_NV_fence() { ext_LoadGL(10); }
void InitGL_NV_register_combiners2() { ext_LoadGL(11); }
void InitGL_ATI_pn_triangles() { ext_LoadGL(12); }
void InitGL_ARB_point_parameters() { ext_LoadGL(13); }
void InitGL_ARB_vertex_blend() { ext_LoadGL(14); }
void InitGL_EXT_multi_draw_arrays() { ext_LoadGL(15); }
void InitGL_ARB_matrix_palette() { ext_LoadGL(16); }
void InitGL_EXT_vertex_shader() { ext_LoadGL(17); }
void InitGL_ATI_envmap_bumpmap() { ext_LoadGL(18); }
void InitGL_ATI_fragment_shader() { ext_LoadGL(19); }
void InitGL_ATI_element_array() { ext_LoadGL(20); }
void InitGL_ATI_vertex_streams() { ext_LoadGL(21); }
void InitGL_ATI_vertex_array_object() { ext_LoadGL(22); }
void InitGL_NV_occlusion_query() { ext_LoadGL(23); }
void InitGL_NV_point_sprite() { ext_LoadGL(24); }
void InitGL_ARB_window_pos() { ext_LoadGL(25); }
void InitGL_ARB_texture_compression() { ext_LoadGL(26); }
void InitGL_EXT_draw_range_elements() { ext_LoadGL(27); }
void InitGL_EXT_stencil_two_side() { ext_LoadGL(28); }
void InitGL_ARB_vertex_program() { ext_LoadGL(29); }
void InitGL_EXT_cull_vertex() { ext_LoadGL(30); }
void InitGL_ARB_imaging() { ext_LoadGL(31); }
void InitGL_ARB_multitexture() { ext_LoadGL(32); }
void InitGL_VERSION_1_2() { ext_LoadGL(33); }
void InitGL_VERSION_1_3() { ext_LoadGL(34); }
void InitGL_NV_evaluators() { ext_LoadGL(35); }

void InitWGL_ARB_make_current_read() { ext_LoadWGL(0); }
void InitWGL_EXT_swap_control() { ext_LoadWGL(1); }
void InitWGL_ARB_render_texture() { ext_LoadWGL(2); }
void InitWGL_ARB_pixel_format() { ext_LoadWGL(3); }
void InitWGL_ARB_pbuffer() { ext_LoadWGL(4); }
void InitWGL_ARB_buffer_region() { ext_LoadWGL(5); }

int InitWGLExtensions(void* hdc) {
  ext_hdc = hdc;
  g_glExtensionProcs.wglGetExtensionsStringARB = LoadGLProc("wglGetExtensionsStringARB");
  g_glExtensionProcs.wglGetExtensionsStringEXT = LoadGLProc("wglGetExtensionsStringEXT");
  g_glExtensionFlags.wglGetExtensionsStringARB = g_glExtensionProcs.wglGetExtensionsStringARB != nullptr;
  g_glExtensionFlags.wglGetExtensionsStringEXT = g_glExtensionProcs.wglGetExtensionsStringEXT != nullptr;
  // A driver without the string queries simply has no WGL extensions.
  ext_failed = 0;
  InitWGLExtensionFlags();
  InitWGL_ARB_make_current_read();
  InitWGL_EXT_swap_control();
  InitWGL_ARB_render_texture();
  InitWGL_ARB_pixel_format();
  InitWGL_ARB_pbuffer();
  InitWGL_ARB_buffer_region();
  return ext_failed;
}

int LoadOpenGLExtensions() {
  ext_failed = 0;
  InitGLExtensionFlags();
  InitGL_ARB_transpose_matrix();
  InitGL_ARB_multisample();
  InitGL_EXT_compiled_vertex_array();
  InitGL_EXT_secondary_color();
  InitGL_EXT_fog_coord();
  InitGL_NV_vertex_array_range();
  InitGL_EXT_point_parameters();
  InitGL_NV_register_combiners();
  InitGL_EXT_vertex_weighting();
  InitGL_NV_vertex_program();
  InitGL_NV_fence();
  InitGL_NV_register_combiners2();
  InitGL_ATI_pn_triangles();
  InitGL_ARB_point_parameters();
  InitGL_ARB_vertex_blend();
  InitGL_EXT_multi_draw_arrays();
  InitGL_ARB_matrix_palette();
  InitGL_EXT_vertex_shader();
  InitGL_ATI_envmap_bumpmap();
  InitGL_ATI_fragment_shader();
  InitGL_ATI_element_array();
  InitGL_ATI_vertex_streams();
  InitGL_ATI_vertex_array_object();
  InitGL_NV_occlusion_query();
  InitGL_NV_point_sprite();
  InitGL_ARB_window_pos();
  InitGL_ARB_texture_compression();
  InitGL_EXT_draw_range_elements();
  InitGL_EXT_stencil_two_side();
  InitGL_ARB_vertex_program();
  InitGL_EXT_cull_vertex();
  InitGL_ARB_imaging();
  InitGL_ARB_multitexture();
  InitGL_VERSION_1_2();
  InitGL_VERSION_1_3();
  const int glFailed = ext_failed;
  // InitWGLExtensions clears the flag for its own part; a GL failure still counts.
  const int wglFailed = InitWGLExtensions(ext_hdc);
  return glFailed != 0 || wglFailed != 0 ? 1 : 0;
}
