/* The public header compiles as strict C99. */
#include "opxvc.h"

int opxvc_header_c99_probe(void) { return opxvcGetLibVersion()->major == 7 ? opxOk : opxErrBadArg; }
