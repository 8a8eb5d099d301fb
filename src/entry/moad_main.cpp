// Entry of the administration program `mo_aux`: builds the platform services of the shared library
// and runs one operation. It needs no daemon: it changes no data file that the daemon locks.
#include "entry/moad_admin.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/moux_unix.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    MOX_AUX_T *aux = nullptr;
    if (moux_unix_construct(&aux, nullptr) != 0) {
        fputs(MOUX_CONSTRUCT_FAILURE, stderr);
        return 1;
    }
    aux->error->strcat_cmd(aux->error, "mo_aux");
    int ret = moad_admin_main(aux, argc, argv);
    fflush(stdout);
    return ret;
}
