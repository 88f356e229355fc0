#include "render/zeRenderToImage.h"

#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "render/zeImages.h"

int zeRenderToImage(int id, int clear) {
  ZeImageTexture image;
  if (!zeFindImage(id, 1, &image)) return -1;
  if (!image.renderTargetHandle()) {
    zeReportArgError(1, "Image ID %d is not renderable", id);
    return -1;
  }
  return zeRenderFrameInto(image.renderTargetHandle(), clear != 0) ? 0 : -1;
}
