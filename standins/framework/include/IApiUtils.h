#pragma once

#include "Ark/ArkApiUtils.h"
