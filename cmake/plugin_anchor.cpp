// The plug-in's code lives in the static libraries; a module target needs one source of its own.
