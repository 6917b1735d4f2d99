// Tests typed over every kind of NRUTIL matrix and vector, each bound to its allocate and release functions.
#pragma once

#include <gtest/gtest.h>

#include "NRUTIL.H"

template <class T, T** (*Allocate)(int, int), void (*Release)(T**, int)>
struct MatrixFamily {
    using Element = T;
    static T** allocate(int columns, int rows) { return Allocate(columns, rows); }
    static void release(T** matrix, int rows) { Release(matrix, rows); }
};

template <class T, T* (*Allocate)(int), void (*Release)(T*)>
struct VectorFamily {
    using Element = T;
    static T* allocate(int columns) { return Allocate(columns); }
    static void release(T* vector) { Release(vector); }
};

template <class Family>
class Matrices : public testing::Test {
};

template <class Family>
class Vectors : public testing::Test {
};

using MatrixFamilies =
    testing::Types<MatrixFamily<float, fmatrice, frfmatrice>, MatrixFamily<unsigned char, ucmatrice, frucmatrice>,
                   MatrixFamily<unsigned short, usmatrice, frusmatrice>, MatrixFamily<short, smatrice, frsmatrice>,
                   MatrixFamily<int, imatrice, frimatrice>, MatrixFamily<double, dmatrice, frdmatrice>,
                   MatrixFamily<long double, ldmatrice, frldmatrice>>;
using VectorFamilies =
    testing::Types<VectorFamily<unsigned char, ucvecteur, frucvecteur>,
                   VectorFamily<unsigned short, usvecteur, frusvecteur>, VectorFamily<short, svecteur, frsvecteur>,
                   VectorFamily<int, ivecteur, frivecteur>, VectorFamily<double, dvecteur, frdvecteur>,
                   VectorFamily<float, fvecteur, frfvecteur>>;
TYPED_TEST_SUITE(Matrices, MatrixFamilies);
TYPED_TEST_SUITE(Vectors, VectorFamilies);
