#include "NRUTIL.H"

#include <cstddef>
#include <cstdlib>

namespace {

// calloc refuses a byte size it cannot represent, so no block is ever
// smaller than its count asks for.
template <class T>
T *allocate_block(int count)
{
    return static_cast<T *>(std::calloc(static_cast<std::size_t>(count), sizeof(T)));
}

template <class T>
void release_matrix(T **Mat, int NbLig)
{
    if (Mat == nullptr) {
        return;
    }
    for (int r = 0; r < NbLig; ++r) {
        std::free(Mat[r]);
    }
    std::free(static_cast<void *>(Mat));
}

template <class T>
T **allocate_matrix(int NbCol, int NbLig)
{
    if (NbCol <= 0 || NbLig <= 0) {
        return nullptr;
    }
    T **rows = allocate_block<T *>(NbLig);
    if (rows == nullptr) {
        return nullptr;
    }
    for (int r = 0; r < NbLig; ++r) {
        rows[r] = allocate_block<T>(NbCol);
        if (rows[r] == nullptr) {
            // The caller gets only null: what was obtained so far goes back now.
            release_matrix(rows, r);
            return nullptr;
        }
    }
    return rows;
}

template <class T>
T *allocate_vector(int NbCol)
{
    return NbCol > 0 ? allocate_block<T>(NbCol) : nullptr;
}

}  // namespace

extern "C" {

float **fmatrice(int NbCol, int NbLig) { return allocate_matrix<float>(NbCol, NbLig); }
void frfmatrice(float **Mat, int NbLig) { release_matrix(Mat, NbLig); }

unsigned char **ucmatrice(int NbCol, int NbLig) { return allocate_matrix<unsigned char>(NbCol, NbLig); }
void frucmatrice(unsigned char **Mat, int NbLig) { release_matrix(Mat, NbLig); }

unsigned short **usmatrice(int NbCol, int NbLig) { return allocate_matrix<unsigned short>(NbCol, NbLig); }
void frusmatrice(unsigned short **Mat, int NbLig) { release_matrix(Mat, NbLig); }

short **smatrice(int NbCol, int NbLig) { return allocate_matrix<short>(NbCol, NbLig); }
void frsmatrice(short **Mat, int NbLig) { release_matrix(Mat, NbLig); }

int **imatrice(int NbCol, int NbLig) { return allocate_matrix<int>(NbCol, NbLig); }
void frimatrice(int **Mat, int NbLig) { release_matrix(Mat, NbLig); }

double **dmatrice(int NbCol, int NbLig) { return allocate_matrix<double>(NbCol, NbLig); }
void frdmatrice(double **Mat, int NbLig) { release_matrix(Mat, NbLig); }

long double **ldmatrice(int NbCol, int NbLig) { return allocate_matrix<long double>(NbCol, NbLig); }
void frldmatrice(long double **Mat, int NbLig) { release_matrix(Mat, NbLig); }

unsigned char *ucvecteur(int NbCol) { return allocate_vector<unsigned char>(NbCol); }
void frucvecteur(unsigned char *Mat) { std::free(Mat); }

unsigned short *usvecteur(int NbCol) { return allocate_vector<unsigned short>(NbCol); }
void frusvecteur(unsigned short *Mat) { std::free(Mat); }

short *svecteur(int NbCol) { return allocate_vector<short>(NbCol); }
void frsvecteur(short *Mat) { std::free(Mat); }

int *ivecteur(int NbCol) { return allocate_vector<int>(NbCol); }
void frivecteur(int *Mat) { std::free(Mat); }

double *dvecteur(int NbCol) { return allocate_vector<double>(NbCol); }
void frdvecteur(double *Mat) { std::free(Mat); }

float *fvecteur(int NbCol) { return allocate_vector<float>(NbCol); }
void frfvecteur(float *Mat) { std::free(Mat); }

}  // extern "C"
