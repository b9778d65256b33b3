#pragma once

// The frame renderer: free functions that set up OpenGL once (RenderInit) and
// draw one frame of the world (RenderFrame): the clear colour, the camera's
// view, the ground and the axes, every drawable entity, the console and the
// frame-rate text. Every function needs a current OpenGL context and runs on
// the GUI thread only.
//
// Console variables of the renderer (all saved in "cvar.ini"):
//   gl.backgrnd_r / _g / _b  float 0.4078 / 0.8313 / 0.9725  clear colour,
//                            read every frame (registered at start-up)
//   stats.fps                int 1    non-zero: count frames and draw the
//                                     frame-rate text (registered at start-up)
//   world.draw_ground        int 1    non-zero: draw axes and ground
//                                     (registered by the first RenderFrame)
//   gl.nearclip / gl.farclip float 0.1 / 50.0  projection planes, read by
//                                     RenderProjection at start-up (a changed
//                                     value takes effect at the next start)

// 1 at start. When non-zero, InitLights enables lighting and every drawing
// function that draws unlit switches lighting back on afterwards; when 0
// they leave it off.
extern int g_lightingEnabled;

// One-time OpenGL set-up, with the view's context current and its viewport
// set: no face culling, depth test, dithering, smooth shading, fastest
// perspective and polygon-smooth hints; RenderProjection; the model-view
// matrix translated by (0, 0, -5); logs the frame buffer's colour bit depths;
// loads the OpenGL extensions (logs the result; start-up goes on either way);
// then InitLights.
void RenderInit();

// The projection of the view: identity, then 45 degrees vertical field of
// view, the aspect ratio of the current viewport's width / height and the
// planes of gl.nearclip and gl.farclip; leaves the model-view matrix
// selected. A viewport of height 0 (or less) has no aspect ratio: the
// projection then uses the aspect ratio 1. RenderInit sets it; the view sets
// it once more when it first draws at its real size, and never again, so a
// later resize keeps the start-up aspect ratio.
void RenderProjection();

// Draws one frame into the current (already cleared) buffers; no buffer swap.
// In order: registers world.draw_ground on the first call; clears colour and
// depth to the gl.backgrnd_* colour (alpha 0); pushes the model-view matrix;
// g_camera->Update() (which sets the view); line width 2; axes and ground
// when world.draw_ground is non-zero; Draw of every EntityMap entry whose
// flag word has kEntityDrawn, in name order; g_console->Render(); RenderFPS();
// pops the model-view matrix. A null g_camera leaves the view as it is, a null
// g_console draws no console and no frame-rate text; the rest is drawn.
void RenderFrame();

// Frame counting and the frame-rate text. Nothing while stats.fps is 0. The
// first counted frame builds the frame-rate timer; each frame then counts
// itself, except the one at which at least 1 s has passed since the timer's
// last reset: that one stores the frame rate (frames counted / 1 s), resets
// the timer and the count. While g_console exists (and has a font), draws
// "<rate> FPS" ("%3.2f FPS") in white at window pixel (10, 10), unlit.
// The text shows 0.00 FPS until the first interval has passed.
void RenderFPS();
// The frame rate RenderFPS shows (frames per second; 0 until the first
// interval has closed).
float GetFrameRate();
// Frames RenderFPS has counted in the interval now running.
int GetFrameCounter();

// Three unit lines from the origin, unlit: +x in (1, 0.2, 0.2), +y in
// (0.2, 1, 0.2), +z in (0.2, 0.2, 1), in the current line width.
void DrawAxes();

// A checkerboard of unit squares in the plane y = 0, unlit, covering x from
// -10 to 10 and z from -10 to 11 (20 columns of 21 squares, column by column
// along +x, each column along +z). The squares alternate in drawing order
// between (0.0156, 0.698, 0.1765) (first, at (-10, 0, -10)) and
// (0.0431, 0.3569, 0.1765); with an odd count per column this gives a
// checkerboard in both directions.
void DrawGround();

// Material (front and back: ambient (0, 0, 0, 1), diffuse
// (0.43, 0.5, 0.356, 1), specular (0.22, 0.2, 0.2, 1), shininess 70) and
// three directional lights, placed through the current model-view matrix:
// light 0 from (1, 1, 5) white, light 1 from (-3, 1, -1) in (1, 0.3, 0.3),
// light 2 from (1, 8, -2) in (0.3, 0.4, 1) (the colour is each light's
// diffuse and specular). Turns on normal normalisation and two-sided
// lighting, and lighting itself when g_lightingEnabled is non-zero (off
// otherwise).
void InitLights();

// A blue cube of edge 1 centred on the origin (with face normals), compiled
// into a display list of the current context on the first call and replayed
// by later calls. Not part of the frame.
void DrawUnitCube();
