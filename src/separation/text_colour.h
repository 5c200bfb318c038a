#pragma once

// The colours of a story's characters: walks over its text-colour and
// text-tint runs that answer whether all text is black, whether some is
// lighter than 100 %, whether some is white (Paper or a 0 % tint); grey text
// rewritten as tints of Black; tinted black text flagged with the boolean
// character attribute.

#include <vector>

#include "host/text_model.h"
#include "host/uid_ref.h"

namespace korvex {

struct TextRunContext {
  IDataBase* database = nullptr;
  UID black = kInvalidUID;
  UID paper = kInvalidUID;
  ITextModel* strand = nullptr;           // the story of the walk under way
  bool flag = false;                      // the last walk's answer
  std::vector<UID>* colorList = nullptr;  // grey swatches replaced by Black tints
};

// A context for the database's document: its Black and Paper swatches.
TextRunContext textRunContext(IDataBase* database, std::vector<UID>* colorList);

// Answers true to go on with the next run, false to stop the walk.
using TextRunTest = bool (*)(ITextModel* story, int start, int length, const AttributeValue& attribute,
                             TextRunContext& context);

// Walks the story's runs of the attribute class from the first character up
// to, not including, the end-of-story mark.
void enumTextRuns(ITextModel* story, AttributeClass attribute, TextRunTest test, TextRunContext& context);

// The swatch of a colour run: text without a colour of its own is the host's default, Black.
UID runColor(const AttributeValue& attribute, const TextRunContext& context);
// The tint of a tint run: 100 without a value or for a negative one.
double runTint(const AttributeValue& attribute);

bool normalizeGreyRun(ITextModel*, int start, int length, const AttributeValue&, TextRunContext&);
bool isBlackRun(ITextModel*, int start, int length, const AttributeValue&, TextRunContext&);
bool isTintBelow100Run(ITextModel*, int start, int length, const AttributeValue&, TextRunContext&);
bool flagTintedBlackRun(ITextModel*, int start, int length, const AttributeValue&, TextRunContext&);
bool isPaperRun(ITextModel*, int start, int length, const AttributeValue&, TextRunContext&);
bool isZeroTintRun(ITextModel*, int start, int length, const AttributeValue&, TextRunContext&);

// The tint of Black a grey swatch stands for: a CMYK process colour without
// cyan, magenta and yellow gives its black × 100, a tint of Black its
// percentage; none for every other swatch.
std::optional<double> blackTintOfSwatch(IDataBase* database, UID swatch);

}  // namespace korvex
