#include "imaging/shared_image.h"

void TSharedImage::Release() {
  if (refCount_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  FreeHandle();
  delete this;
}
