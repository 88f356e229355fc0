#include "app/zeFrameBackend.h"

namespace {
IZeFrameBackend* frameBackend = nullptr;
}

void zeSetFrameBackend(IZeFrameBackend* backend) { frameBackend = backend; }
IZeFrameBackend* zeGetFrameBackend() { return frameBackend; }
