// The public header compiles as C++.
#include "opxvc.h"

int opxvc_header_cxx_probe() { return opxvcGetLibVersion()->major == 7 ? opxOk : opxErrBadArg; }
