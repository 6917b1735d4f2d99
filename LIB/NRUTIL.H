/*
 * NRUTIL: zero-filled matrices and vectors whose size is known only at run time.
 *
 * Usable from C (C89 on) and C++ (C++98 on). The manual page nrutil(3) tells
 * the rest.
 *
 * Matrices: xxmatrice(NbCol, NbLig) returns an array of NbLig row pointers,
 * each pointing to a block of its own of NbCol elements: element (r, c),
 * counted from 0, is Mat[r][c]. Every element reads as zero. The result is
 * null when NbCol or NbLig is not above 0 or memory runs out; a matrix that
 * cannot be completed leaves nothing allocated. Release it with the
 * frxxmatrice of the same element type, passing the NbLig it was made with.
 *
 * Vectors: xxvecteur(NbCol) returns one block of NbCol elements indexed from
 * 0, every element zero; null when NbCol is not above 0 or memory runs out.
 * Release it with the frxxvecteur of the same element type.
 *
 * Releasing a null matrix or vector does nothing.
 *
 * Element types by prefix: f float, uc unsigned char, us unsigned short,
 * s short, i int, d double, ld long double (matrices only).
 */
#ifndef NRUTIL_H
#define NRUTIL_H

#ifdef __cplusplus
extern "C" {
#endif

float **fmatrice(int NbCol, int NbLig);
void frfmatrice(float **Mat, int NbLig);

unsigned char **ucmatrice(int NbCol, int NbLig);
void frucmatrice(unsigned char **Mat, int NbLig);

unsigned short **usmatrice(int NbCol, int NbLig);
void frusmatrice(unsigned short **Mat, int NbLig);

short **smatrice(int NbCol, int NbLig);
void frsmatrice(short **Mat, int NbLig);

int **imatrice(int NbCol, int NbLig);
void frimatrice(int **Mat, int NbLig);

double **dmatrice(int NbCol, int NbLig);
void frdmatrice(double **Mat, int NbLig);

long double **ldmatrice(int NbCol, int NbLig);
void frldmatrice(long double **Mat, int NbLig);

unsigned char *ucvecteur(int NbCol);
void frucvecteur(unsigned char *Mat);

unsigned short *usvecteur(int NbCol);
void frusvecteur(unsigned short *Mat);

short *svecteur(int NbCol);
void frsvecteur(short *Mat);

int *ivecteur(int NbCol);
void frivecteur(int *Mat);

double *dvecteur(int NbCol);
void frdvecteur(double *Mat);

float *fvecteur(int NbCol);
void frfvecteur(float *Mat);

#ifdef __cplusplus
}
#endif

#endif /* NRUTIL_H */
