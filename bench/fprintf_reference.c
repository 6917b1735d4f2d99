/*
 * The usual way to write such a table: one fprintf per row, then fflush and
 * fsync. The benchmark measures the program against it.
 *
 * usage: fprintf_reference FILE ROWS
 * Writes rows k = 0 .. ROWS-1 as "k\tk\r\n", as the program does for the
 * answers 0 1 0 ROWS-1 1 0.
 */
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        (void)fputs("usage: fprintf_reference FILE ROWS\n", stderr);
        return 2;
    }
    FILE* table = fopen(argv[1], "wb");
    if (table == NULL) {
        perror(argv[1]);
        return 1;
    }
    const long rows = strtol(argv[2], NULL, 10);
    for (long k = 0; k < rows; ++k) {
        if (fprintf(table, "%ld\t%ld\r\n", k, k) < 0) {
            break;
        }
    }
    if (ferror(table) || fflush(table) != 0 || fsync(fileno(table)) != 0 || fclose(table) != 0) {
        perror(argv[1]);
        return 1;
    }
    return 0;
}
