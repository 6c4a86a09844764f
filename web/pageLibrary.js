// pageLibrary.js
// JavaScript library functions that SDL's audio calls from its own JavaScript only, where the
// linker cannot see them: kestranePageDeps is linked in by name and brings them along.
mergeInto(LibraryManager.library, {
  kestranePageDeps__deps: ['$autoResumeAudioContext', '$dynCall'],
  kestranePageDeps: function () {},
});
