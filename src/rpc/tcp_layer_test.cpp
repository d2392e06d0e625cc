// The loopback cases over POSIX sockets.
#include "rpc/tcp_layer_cases.h"
