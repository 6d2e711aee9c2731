package com.example.hello;

/** Started as a module from a module path. */
public class Hello {
    public static void main(String[] args) {
        System.out.println("Module " + Hello.class.getModule().getName() + " says hello");
    }
}
