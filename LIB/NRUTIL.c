/*
 * NRUTIL: zero-filled matrices and vectors, in C89 so that a C program links
 * the static library with no other runtime than its C library.
 *
 * Each family is written out by a macro for its element type, so that a
 * matrix's row pointers are stored and read as pointers to that type.
 * calloc refuses a byte size it cannot represent, so no block is ever
 * smaller than its count asks for.
 */
#include <stddef.h>
#include <stdlib.h>

/* The header's functions are the shared library's only exports: every other
   name is hidden (the build gives -fvisibility=hidden), and on Windows
   nrutil.def lists the same names. */
#if defined(__GNUC__) && !defined(_WIN32)
#pragma GCC visibility push(default)
#endif
#include "NRUTIL.H"
#if defined(__GNUC__) && !defined(_WIN32)
#pragma GCC visibility pop
#endif

/* A type cannot stand in parentheses. */
/* NOLINTBEGIN(bugprone-macro-parentheses) */

/* Rows 0 to NbLig - 1 in that order, then the pointer array. A matrix that
   cannot be completed is released in the same way, with the rows it got. */
#define NRUTIL_MATRIX(prefix, type)                                               \
    void fr##prefix##matrice(type **Mat, int NbLig)                               \
    {                                                                             \
        int r;                                                                    \
        if (Mat == NULL) {                                                        \
            return;                                                               \
        }                                                                         \
        for (r = 0; r < NbLig; ++r) {                                             \
            free(Mat[r]);                                                         \
        }                                                                         \
        free((void *)Mat);                                                        \
    }                                                                             \
                                                                                  \
    type **prefix##matrice(int NbCol, int NbLig)                                  \
    {                                                                             \
        type **rows;                                                              \
        int r;                                                                    \
        if (NbCol <= 0 || NbLig <= 0) {                                           \
            return NULL;                                                          \
        }                                                                         \
        rows = (type **)calloc((size_t)NbLig, sizeof(type *));                    \
        if (rows == NULL) {                                                       \
            return NULL;                                                          \
        }                                                                         \
        for (r = 0; r < NbLig; ++r) {                                             \
            rows[r] = (type *)calloc((size_t)NbCol, sizeof(type));                \
            if (rows[r] == NULL) {                                                \
                /* The caller gets only null: what was obtained goes back now. */ \
                fr##prefix##matrice(rows, r);                                     \
                return NULL;                                                      \
            }                                                                     \
        }                                                                         \
        return rows;                                                              \
    }

#define NRUTIL_VECTOR(prefix, type)                                                    \
    type *prefix##vecteur(int NbCol)                                                   \
    {                                                                                  \
        return NbCol > 0 ? (type *)calloc((size_t)NbCol, sizeof(type)) : (type *)NULL; \
    }                                                                                  \
                                                                                       \
    void fr##prefix##vecteur(type *Mat) { free(Mat); }

/* NOLINTEND(bugprone-macro-parentheses) */

NRUTIL_MATRIX(f, float)
NRUTIL_MATRIX(uc, unsigned char)
NRUTIL_MATRIX(us, unsigned short)
NRUTIL_MATRIX(s, short)
NRUTIL_MATRIX(i, int)
NRUTIL_MATRIX(d, double)
NRUTIL_MATRIX(ld, long double)

NRUTIL_VECTOR(uc, unsigned char)
NRUTIL_VECTOR(us, unsigned short)
NRUTIL_VECTOR(s, short)
NRUTIL_VECTOR(i, int)
NRUTIL_VECTOR(d, double)
NRUTIL_VECTOR(f, float)
