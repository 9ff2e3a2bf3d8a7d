/* A C program that uses the device SDK and has no diagnostic log of its own: it makes the
 * library log a failure (a logout of a handle that was never given), so that CTest can check
 * that the line reaches standard error only with OVIX_DEBUG_LOG set. */
#include "devsdk/ovix_client.h"

int main(void) {
    if (Network_ClientInit() != OVIX_OK) return 1;
    const int32_t result = Network_ClientLogout(7);
    Network_ClientUnInit();
    return result == OVIX_ERR_BAD_HANDLE ? 0 : 1;
}
