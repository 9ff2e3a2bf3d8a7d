/* The interface header must stay plain C: C programs and other languages' bindings use it. */
#include "devsdk/ovix_client.h"

int ovix_header_record_bytes(void);

int ovix_header_record_bytes(void) {
    return (int)(sizeof(customer_cfg) + sizeof(ovix_clock) + sizeof(ovix_device_info) + sizeof(ovix_event));
}
