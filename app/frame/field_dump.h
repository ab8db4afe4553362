// The text dump of the density and velocity fields that 'c' switches on.
#pragma once

#include <cstdio>

// Prints the (n+2) x (n+2) cells of `field` as on screen: top row (i = n+1) first, each value
// as "%f " and a newline after each row.
void print_field(int n, const float* field, std::FILE* out = stdout);

// Prints density, u and v under their headers, then the total density.
void print_dump(std::FILE* out = stdout);
