// CNG's verification, held to the cases every build shares.
#include "testing/signature_check_contract.h"
