#pragma once
// The entry points of the system's PCRE (native tree), linked directly.
#include <pcre.h>

#include "library/model/pcre_match.h"

namespace dl::testing {

inline dl::model::pcre::EntryPoints SystemPcre() {
  dl::model::pcre::EntryPoints e;
  e.compile = reinterpret_cast<dl::model::pcre::CompileFn>(&pcre_compile);
  e.study = reinterpret_cast<dl::model::pcre::StudyFn>(&pcre_study);
  e.exec = reinterpret_cast<dl::model::pcre::ExecFn>(&pcre_exec);
  e.fullInfo = reinterpret_cast<dl::model::pcre::FullInfoFn>(&pcre_fullinfo);
  e.free = pcre_free;  // a variable holding the release function
  e.freeStudy = reinterpret_cast<dl::model::pcre::FreeStudyFn>(&pcre_free_study);
  return e;
}

}  // namespace dl::testing
