// Visibility of the library's public C++ helpers: the shared library hides
// everything else.
#pragma once

#define ZIVODA_API __attribute__((visibility("default")))
