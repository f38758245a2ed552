// Placeholder so the module target has a source until its code lands.
