#pragma once
// Fixed-point decimal text of a double, the exact binary value correctly
// rounded (ties to even), as printf's "%.6f" and std::to_chars give it, in a
// fraction of their time: a track file writes one per coordinate.
namespace orlogix {

// Writes v with six decimals at out and returns the end. |v| must be below
// 1e9 and finite; out needs room for 18 characters.
char* write_fixed6(char* out, double v);

}  // namespace orlogix
