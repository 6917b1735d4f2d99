/* NRUTIL.H used from C: every function, called as a C program would. */
#include <stdio.h>

#include "NRUTIL.H"

static int failures;

static void check(int ok, const char* what)
{
    if (!ok) {
        (void)fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

/* A type cannot stand in parentheses. */
/* NOLINTBEGIN(bugprone-macro-parentheses) */
#define CHECK_MATRIX(prefix, type)                                            \
    do {                                                                      \
        type** m = prefix##matrice(3, 2);                                     \
        check(m != NULL && m[0][0] == 0 && m[1][2] == 0, #prefix "matrice");  \
        if (m != NULL) {                                                      \
            m[1][2] = (type)1;                                                \
            fr##prefix##matrice(m, 2);                                        \
        }                                                                     \
        check(prefix##matrice(0, 2) == NULL, #prefix "matrice of no column"); \
    } while (0)

#define CHECK_VECTOR(prefix, type)                                          \
    do {                                                                    \
        type* v = prefix##vecteur(4);                                       \
        check(v != NULL && v[0] == 0 && v[3] == 0, #prefix "vecteur");      \
        fr##prefix##vecteur(v);                                             \
        check(prefix##vecteur(0) == NULL, #prefix "vecteur of no element"); \
    } while (0)

/* NOLINTEND(bugprone-macro-parentheses) */

int main(void)
{
    CHECK_MATRIX(f, float);
    CHECK_MATRIX(uc, unsigned char);
    CHECK_MATRIX(us, unsigned short);
    CHECK_MATRIX(s, short);
    CHECK_MATRIX(i, int);
    CHECK_MATRIX(d, double);
    CHECK_MATRIX(ld, long double);
    CHECK_VECTOR(uc, unsigned char);
    CHECK_VECTOR(us, unsigned short);
    CHECK_VECTOR(s, short);
    CHECK_VECTOR(i, int);
    CHECK_VECTOR(d, double);
    CHECK_VECTOR(f, float);
    return failures == 0 ? 0 : 1;
}
