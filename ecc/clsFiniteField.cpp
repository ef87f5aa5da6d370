#include "clsFiniteField.h"
