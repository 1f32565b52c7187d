// Implemented by its owner; placeholder so the tree configures.
