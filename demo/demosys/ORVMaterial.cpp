#include "ORVMaterial.h"

ORVMaterial::ORVMaterial() = default;
