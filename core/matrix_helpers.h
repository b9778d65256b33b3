#pragma once

// Free functions on plain arrays: 4 x 4 double matrices for the skeleton's
// bone frames and joint positions, and float 2- and 3-vectors.
//
// Matrices are row-major (m[row][column]) and act on points as columns, the
// translation in column 3; hand one to OpenGL through MatrixTranspose.
// Rotation angles are in degrees; each is turned into radians with
// 3.141592653589793 / 180 per degree, the radian angle is rounded to float,
// and its sine and cosine are taken in double precision.
// No function checks its arguments for values (a zero vector normalises to
// NaN components).

typedef double Matrix4d[4][4];
typedef float Vec3f[3];
typedef float Vec2f[2];

// All sixteen entries 0.
void MatrixZero(Matrix4d m);
// The identity.
void MatrixIdentity(Matrix4d m);
// dst = src.
void MatrixCopy(const Matrix4d src, Matrix4d dst);
// out[i][j] = in[j][i]. out may be the same array as in.
void MatrixTranspose(const Matrix4d in, Matrix4d out);
// c = a x b, each entry summed over k = 0..3 in that order. c may be the same
// array as a or b.
void MatrixMultiply(const Matrix4d a, const Matrix4d b, Matrix4d c);
// The same on 4 x 4 float arrays, with float sums.
void MatrixMultiplyFloat(const float a[4][4], const float b[4][4], float c[4][4]);

// Rotations by `degrees` about one axis, with c = cos and s = sin:
//   X: rows (1 0 0 0), (0 c -s 0), (0 s c 0), (0 0 0 1)
//   Y: rows (c 0 s 0), (0 1 0 0), (-s 0 c 0), (0 0 0 1)
//   Z: rows (c -s 0 0), (s c 0 0), (0 0 1 0), (0 0 0 1)
void MatrixRotationX(Matrix4d m, double degrees);
void MatrixRotationY(Matrix4d m, double degrees);
void MatrixRotationZ(Matrix4d m, double degrees);
// m = Rz(a) Ry(b) Rx(c), angles in degrees, built from the identity by three
// successive products on the right.
void MatrixFromEulerZYX(Matrix4d m, double a, double b, double c);

// out[r] = m[r][0] x + m[r][1] y + m[r][2] z + m[r][3] for rows 0..2,
// computed in double and rounded to float; row 3 is ignored (no division).
// out may be the array the coordinates came from.
void MatrixTransformPoint(const Matrix4d m, double x, double y, double z, Vec3f out);

// Writes "matrix <name>:" and a line end, then each row as
// " %8.3f %8.3f %8.3f %8.3f" and a line end, to the standard output.
void MatrixPrint(const char* name, const Matrix4d m);

// p = Rx(ax) Ry(ay) Rz(az) p, degrees: the Z rotation acts first, X last.
// Each rotation is applied in turn through MatrixTransformPoint, so p is
// rounded to float after every step.
void RotatePointXYZ(Vec3f p, double ax, double ay, double az);
// p = Rz(az) Ry(ay) Rx(ax) p, degrees: the X rotation acts first, Z last;
// rounded as RotatePointXYZ.
void RotatePointZYX(Vec3f p, double ax, double ay, double az);

// c = a + b and c = a - b, componentwise; c may alias a or b.
void Vec3Add(const Vec3f a, const Vec3f b, Vec3f c);
void Vec3Sub(const Vec3f a, const Vec3f b, Vec3f c);
// c = a x b = (a1 b2 - a2 b1, a2 b0 - a0 b2, a0 b1 - a1 b0); c may alias a or b.
void Vec3Cross(const Vec3f a, const Vec3f b, Vec3f c);
// a0 b0 + a1 b1 + a2 b2.
float Vec3Dot(const Vec3f a, const Vec3f b);
// Square root of the sum of squares.
float Vec3Length(const Vec3f a);
// Divides each component by the float length, in place.
void Vec3Normalize(Vec3f a);

// The same on two components.
void Vec2Sub(const Vec2f a, const Vec2f b, Vec2f c);
float Vec2Dot(const Vec2f a, const Vec2f b);
float Vec2Length(const Vec2f a);
void Vec2Normalize(Vec2f a);

// Dispatch on `dimension` 2 or 3 to the functions above; for any other
// dimension VecDot returns 0 and the others leave their arrays untouched.
float VecDot(int dimension, const float* a, const float* b);
void VecSub(int dimension, const float* a, const float* b, float* c);
void VecNormalize(int dimension, float* a);

// The unsigned angle between a and b in radians, in [0, pi]:
// atan2(|c|, a . b), where the caller passes c = a x b.
float VectorAngle(const Vec3f a, const Vec3f b, const Vec3f c);
