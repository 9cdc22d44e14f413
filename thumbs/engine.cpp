#include "thumbs/engine.h"

#include "imaging/graphic.h"
#include "thumbs/output_name.h"
#include "thumbs/thumbnail_maker.h"

void ThumbnailEngine::ShowFile(const AnsiString& sourcePath, const AnsiString& widthText) {
  preview_.ReadFromFile(sourcePath);
  view_.ReadFromFile(sourcePath);
  MakeThumbnail(preview_, widthText, view_);
}

AnsiString ThumbnailEngine::SaveThumbnail(const AnsiString& sourcePath, const AnsiString& folder) {
  const AnsiString outputPath = ThumbnailOutputPath(folder, sourcePath);
  view_.WriteToFile(outputPath);
  return outputPath;
}

ThumbnailFileResult ThumbnailEngine::MakeThumbnailFile(const AnsiString& sourcePath,
                                                       const AnsiString& widthText,
                                                       const AnsiString& folder) {
  ShowFile(sourcePath, widthText);
  ThumbnailFileResult result;
  result.width = view_.Width();
  result.height = view_.Height();
  result.outputPath = SaveThumbnail(sourcePath, folder);
  return result;
}
