sample runtime package vcl260
