#pragma once
// The fixture of the tests that read cards: the core wired to fakes, a main
// window that records what it is shown, and the card text that the next
// read of the fake reader writes as wz.txt. SetKey.txt holds F1..F8 (not
// loaded yet: a test loads it or lets the read button do it).
#include <gtest/gtest.h>
#include <string>
#include <string_view>

#include "Fakes.h"

namespace keyentry::test {

class CardRig : public ::testing::Test {
 protected:
  CardRig() {
    rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
    rig.reader.onRead = [this] { rig.files.files[CoreRig::kCardFile] = cardText; };
  }

  // A card lies on the reader; its text is written in the tests' ANSI code
  // page (UTF-8).
  void PlaceCard(std::wstring_view text) {
    cardText = U8(text);
    rig.reader.cardPresent = true;
  }

  CoreRig rig;
  FakeView view;
  std::string cardText;
};

}  // namespace keyentry::test
