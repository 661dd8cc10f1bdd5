// The program's entry: the framework runs the global application object. Kept alone in its
// file so that a program with a `main` of its own (a test) does not pull it in.
#include "afx.h"

int main(int argc, char** argv) {
    return AfxWinMain(argc, argv);
}
