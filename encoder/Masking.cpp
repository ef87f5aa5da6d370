#include "clsQRCode.h"
