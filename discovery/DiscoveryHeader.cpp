#include "discovery/DiscoveryHeader.h"

#include <arpa/inet.h>

void DiscoveryHeader::to_network() {
    for (int i = 0; i < 8; ++i) word[i] = htonl(word[i]);
}

void DiscoveryHeader::to_host() {
    for (int i = 0; i < 8; ++i) word[i] = ntohl(word[i]);
}
