// The loopback cases over Winsock.
#include "rpc/tcp_layer_cases.h"
