sample runtime package rtl260
