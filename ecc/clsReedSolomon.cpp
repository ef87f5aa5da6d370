#include "clsReedSolomon.h"
