/* An object as large as the verifier's state, so that the cross build's symbol table tells the
 * state's size on the target. */
#include "swug_verify.h"

struct swug_verify swug_verify_state_size;
