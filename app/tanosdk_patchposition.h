#pragma once
// One entry of the handheld measurement order: the patch the i-th sample of a measurement belongs to. The
// handheld chart views own the entries; the controller only reads them.

struct TanoSDK_PatchPosition {
    int area = 0;
    int row = 0;
    int column = 0;
};
